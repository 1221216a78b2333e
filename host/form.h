// The dedication page's form: its fields, and reading a submission of it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/store.h"

namespace sonaro::host {

// One input of the form: the dedication field it goes to, the label of the player's request
// form for the same text (used in messages), and whether it takes line breaks.
struct FormField {
  std::string Dedication::*member;
  std::string_view label;  // UTF-8
  bool multiline;

  // The input's name, which the player fills it by.
  constexpr std::string_view name() const { return core::FieldOf(member).formName; }
};

// In the page's order. The wishes are the only multi-line field.
inline constexpr FormField kFormFields[] = {
    {&Dedication::recipientTitle, "你对朋友的称呼", false},
    {&Dedication::recipient, "他/她的名字", false},
    {&Dedication::song, "要点的歌曲名", false},
    {&Dedication::songAddress, "歌曲地址", false},
    {&Dedication::wishes, "祝福语", true},
    {&Dedication::dedicatorTitle, "你自己的称呼", false},
    {&Dedication::dedicator, "你自己的名字", false},
};

// Names and values of an application/x-www-form-urlencoded body, in order, as bytes.
using FormData = std::vector<std::pair<std::string, std::string>>;

// Decodes "+" and "%XX"; nothing when a "%" is not followed by two hex digits.
std::optional<FormData> ParseUrlEncoded(std::string_view body);

// Lengths are GBK bytes, as the player counts text.
struct FieldLimits {
  size_t wishes_bytes = 1000;
  size_t other_bytes = 200;
};

struct SubmissionReading {
  // Set when the submission may be stored.
  std::optional<Dedication> dedication;
  // Otherwise why not, one UTF-8 sentence each, in the page's field order.
  std::vector<std::string> problems;
  // What to put back into the form: every field that could be decoded, as typed.
  Dedication echo;
};

// Checks a submission of the form. The encoding is GBK unless the hidden field "_charset_"
// (filled in by the browser) names UTF-8; text that is not in that encoding, or has characters
// GBK lacks, is refused, as are control characters (line breaks only in the wishes), fields over
// their limits, empty wishes and song addresses that are not http, https, mms, mmsh or rtsp
// links.
SubmissionReading ReadSubmission(const FormData& form, const FieldLimits& limits);

}  // namespace sonaro::host
