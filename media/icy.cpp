#include "media/icy.h"

#include <QByteArrayView>
#include <QStringDecoder>
#include <algorithm>

#include "core/gbk.h"

namespace sonaro::media {

std::optional<std::string> IcyReader::Feed(std::string_view bytes, std::string& sound) {
  if (interval_ == 0) {
    sound.append(bytes);
    return std::nullopt;
  }
  std::optional<std::string> title;
  while (!bytes.empty()) {
    if (soundLeft_ > 0) {
      const size_t count = std::min(soundLeft_, bytes.size());
      sound.append(bytes.substr(0, count));
      bytes.remove_prefix(count);
      soundLeft_ -= count;
      continue;
    }
    if (!inBlock_) {
      inBlock_ = true;
      blockLeft_ = size_t(static_cast<unsigned char>(bytes[0])) * 16;
      block_.clear();
      bytes.remove_prefix(1);
    } else {
      const size_t count = std::min(blockLeft_, bytes.size());
      block_.append(bytes.substr(0, count));
      bytes.remove_prefix(count);
      blockLeft_ -= count;
    }
    if (blockLeft_ == 0) {
      inBlock_ = false;
      soundLeft_ = interval_;
      if (auto found = StreamTitle(block_)) title = std::move(found);
    }
  }
  return title;
}

std::optional<std::string> StreamTitle(std::string_view block) {
  // Blocks are padded with zero bytes to their 16-byte size; no text of ours holds one.
  block = block.substr(0, block.find('\0'));
  constexpr std::string_view kKey = "StreamTitle='";
  const size_t key = block.find(kKey);
  if (key == std::string_view::npos) return std::nullopt;
  const size_t start = key + kKey.size();
  // A title may hold a quote ("Don't"): it ends at the quote before the field's ';', else at the
  // block's last quote, else with the block.
  size_t end = block.find("';", start);
  if (end == std::string_view::npos) end = block.rfind('\'');
  if (end == std::string_view::npos || end < start) end = block.size();
  return MetadataText(block.substr(start, end - start));
}

std::string MetadataText(std::string_view raw) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString text = utf8.decode(QByteArrayView(raw.data(), qsizetype(raw.size())));
  if (!utf8.hasError()) return std::string(raw);
  return core::Utf8FromGbk(raw);
}

}  // namespace sonaro::media
