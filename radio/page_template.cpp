#include "radio/page_template.h"

#include <string>

#include "radio/player_page_block.h"
#include "radio/template_cipher.h"
#include "services/core/text.h"

namespace sonaro::radio {

Text PageTemplate() {
  const std::string_view block(reinterpret_cast<const char*>(kPlayerPageBlock),
                               kPlayerPageBlockSize);
  return DecipherBlock(block, kTemplateKey);
}

const Text& WidthPlaceholder() {
  static const Text text = GbkFromUtf8("播放器宽度");
  return text;
}

const Text& HeightPlaceholder() {
  static const Text text = GbkFromUtf8("播放器高度");
  return text;
}

const Text& PlaylistPlaceholder() {
  static const Text text = GbkFromUtf8("播放列表数据");
  return text;
}

Text PlaylistText(const std::vector<Text>& addresses) {
  Text text;
  for (const Text& address : addresses) text += PlaylistLine(address);
  return text;
}

Text PageWithSize(int width, int height) {
  Text page = TextReplaceAll(PageTemplate(), WidthPlaceholder(), std::to_string(width));
  return TextReplaceAll(page, HeightPlaceholder(), std::to_string(height));
}

Text FillPlaylist(std::string_view page, std::string_view playlistText) {
  return TextReplaceAll(page, PlaylistPlaceholder(), playlistText);
}

}  // namespace sonaro::radio
