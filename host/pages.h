// The HTML the host writes itself: the dedication page and the pages that explain an error.
// Built in UTF-8, delivered in GBK.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/store.h"

namespace sonaro::host {

inline constexpr std::string_view kHtmlType = "text/html; charset=GBK";

// What the dedication page says above its form.
struct PageNote {
  enum class Kind { kNone, kStored, kRefused };
  Kind kind = Kind::kNone;
  std::vector<std::string> lines;  // UTF-8; why a submission was refused
};

// The dedication page, GBK: the note, then the form (action: itself, method POST, GBK), with
// its inputs filled from values (escaped) and the "提交留言" button.
std::string DedicationPage(const PageNote& note, const Dedication& values);

// A small GBK page for an HTTP error: a heading from the status, then message (UTF-8).
std::string StatusPage(int status, std::string_view message);

// The Chinese heading of a status page.
std::string_view StatusTitle(int status);

}  // namespace sonaro::host
