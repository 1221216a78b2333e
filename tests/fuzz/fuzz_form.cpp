// Fuzzes the host's reading of a posted dedication form.
//
// Input: a request body as a client might post it. A body that parses encodes back to one that
// parses to the same fields; a reading either stores a dedication or says why not, and what it
// stores keeps every rule the form states: GBK only, limits in GBK bytes, no control characters
// (line breaks only in the wishes), wishes not blank, a playable song address or none.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/form.h"
#include "host/gbk.h"

namespace {

using namespace sonaro::host;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::string PercentEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 15];
  }
  return out;
}

bool HasControl(std::string_view text, bool multiline) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x20) continue;
    if (multiline && (c == '\t' || c == '\r' || c == '\n')) continue;
    return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const std::optional<FormData> form = ParseUrlEncoded(body);
  if (!form) return 0;

  std::string again;
  for (const auto& [name, value] : *form) {
    if (!again.empty()) again += '&';
    again += PercentEncode(name) + '=' + PercentEncode(value);
  }
  Check(ParseUrlEncoded(again) == form);

  const FieldLimits limits{40, 12};  // small, so that inputs reach past them
  const SubmissionReading reading = ReadSubmission(*form, limits);
  Check(reading.dedication.has_value() == reading.problems.empty());
  for (const FormField& field : kFormFields) Check(IsUtf8(reading.echo.*field.member));
  if (!reading.dedication) return 0;
  for (const FormField& field : kFormFields) {
    const std::string& text = *reading.dedication.*field.member;
    const std::optional<std::string> gbk = StrictGbkFromUtf8(text);
    Check(gbk.has_value() && IsGbk(*gbk) && Utf8FromGbk(*gbk) == text);
    Check(gbk->size() <= (field.multiline ? limits.wishes_bytes : limits.other_bytes));
    Check(!HasControl(text, field.multiline));
  }
  Check(reading.dedication->wishes.find_first_not_of(" \t\r\n") != std::string::npos);
  const std::string& address = reading.dedication->songAddress;
  Check(address.empty() || address.find("://") != std::string::npos);
  return 0;
}
