// Stream titles sent inside a radio stream: a client that asks with "Icy-MetaData: 1" may be
// answered "icy-metaint: N", and then a metadata block follows every N bytes of sound: one length
// byte L, then 16 * L bytes such as "StreamTitle='…';". IcyReader takes the body in pieces of any
// size and parts the sound (for the media library, which must never see a block) from the
// titles. Bytes only: no network, no threads.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sonaro::media {

class IcyReader {
 public:
  // interval: the server's icy-metaint; 0 means the body is all sound.
  explicit IcyReader(size_t interval = 0) : interval_(interval), soundLeft_(interval) {}

  // Appends the sound in bytes to sound. Returns the title of the last metadata block completed
  // in bytes that names one (UTF-8, possibly empty), else nullopt.
  std::optional<std::string> Feed(std::string_view bytes, std::string& sound);

 private:
  size_t interval_;
  size_t soundLeft_;      // bytes of sound before the next length byte
  bool inBlock_ = false;  // the length byte was read, its block is not complete
  size_t blockLeft_ = 0;  // bytes of the block still to come
  std::string block_;
};

// The StreamTitle='…'; of one metadata block, as UTF-8: the bytes are read as UTF-8 when they are
// valid UTF-8, else as GBK (what Chinese stations send). Nullopt when the block names no title.
std::optional<std::string> StreamTitle(std::string_view block);

// Text of a stream's metadata as UTF-8 by the same rule: valid UTF-8 stays, anything else is GBK.
std::string MetadataText(std::string_view raw);

}  // namespace sonaro::media
