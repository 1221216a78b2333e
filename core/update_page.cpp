#include "core/update_page.h"

#include "core/text.h"

namespace sonaro::core {

UpdatePage ReadUpdatePage(std::string_view page) {
  static const Text kBlockStart = GbkFromUtf8("////开始");
  static const Text kBlockEnd = GbkFromUtf8("////结束");
  static const Text kLatest = GbkFromUtf8("最新版=");
  static const Text kAddress = GbkFromUtf8("下载地址=");
  static const Text kMode = GbkFromUtf8("下载方式=");
  static const Text kNotes = GbkFromUtf8("更新说明=");
  static const Text kNotesEnd = GbkFromUtf8("更新说明结束</p>");

  Text block = TextBetween(page, kBlockStart, kBlockEnd);
  UpdatePage fields;
  fields.latest = TextBetween(block, kLatest, "</p>");
  fields.address = TextBetween(block, kAddress, "</p>");
  fields.mode = TextBetween(block, kMode, "</p>");
  fields.notes =
      TextReplaceAll(TextReplaceAll(TextBetween(block, kNotes, kNotesEnd), "<p>", ""), "</p>", "");
  return fields;
}

bool IsNewerVersion(std::string_view latest, std::string_view current) {
  return TextToNumber(latest) - TextToNumber(current) > 0.0000001;
}

Text DownloadFileName(std::string_view address) {
  std::vector<Text> pieces = TextSplit(address, "/");
  return pieces.empty() ? Text() : pieces.back();
}

bool IsSafeDownloadName(std::string_view name) {
  if (name.empty() || name.front() == '.') return false;
  for (std::string_view own : {"sonaro", "sonaro-host", "sonaro-streams"}) {
    if (name == own) return false;
  }
  if (name.starts_with("libsonaro")) return false;
  // A library, also with a version after its ".so" (libx.so.1.2).
  return !name.ends_with(".so") && name.find(".so.") == std::string_view::npos;
}

bool IsPackageName(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  for (std::string_view ending :
       {".deb", ".rpm", ".tar.gz", ".tar.xz", ".zip", ".7z", ".appimage", ".exe", ".msi"}) {
    if (lower.size() > ending.size() && lower.ends_with(ending)) return true;
  }
  return false;
}

}  // namespace sonaro::core
