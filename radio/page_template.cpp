#include "radio/page_template.h"

#include <string>

#include "core/text.h"
#include "radio/player_page_block.h"
#include "radio/template_cipher.h"

namespace sonaro::radio {

core::Text PageTemplate() {
  const std::string_view block(reinterpret_cast<const char*>(kPlayerPageBlock),
                               kPlayerPageBlockSize);
  return DecipherBlock(block, kTemplateKey);
}

const core::Text& WidthPlaceholder() {
  static const core::Text text = core::GbkFromUtf8("播放器宽度");
  return text;
}

const core::Text& HeightPlaceholder() {
  static const core::Text text = core::GbkFromUtf8("播放器高度");
  return text;
}

const core::Text& PlaylistPlaceholder() {
  static const core::Text text = core::GbkFromUtf8("播放列表数据");
  return text;
}

core::Text PlaylistText(const std::vector<core::Text>& addresses) {
  core::Text text;
  for (const core::Text& address : addresses) text += PlaylistLine(address);
  return text;
}

core::Text PageWithSize(int width, int height) {
  core::Text page = core::TextReplaceAll(PageTemplate(), WidthPlaceholder(), std::to_string(width));
  return core::TextReplaceAll(page, HeightPlaceholder(), std::to_string(height));
}

core::Text FillPlaylist(std::string_view page, std::string_view playlistText) {
  return core::TextReplaceAll(page, PlaylistPlaceholder(), playlistText);
}

}  // namespace sonaro::radio
