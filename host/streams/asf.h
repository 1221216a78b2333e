// ASF as an MMS-over-HTTP (mmsh) server sends it: a broadcast file with one PCM audio stream,
// its header in a "$H" chunk and one fixed-size data packet of 100 ms in each "$D" chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/streams/audio.h"

namespace sonaro::streams {

inline constexpr int kAsfStream = 1;
// Error correction (3) + payload parsing (8) + payload header with replicated data (15).
inline constexpr size_t kAsfPacketOverhead = 26;
inline constexpr size_t kAsfPacketSize = kAsfPacketOverhead + kUnitBytes;

// The Header Object (file and stream properties, header extension) followed by the 50 bytes
// that open the Data Object, as the $H chunk carries them.
std::string AsfHeader();

// Data packet number index: one whole payload of PCM (kUnitBytes), sent and presented at
// index * 100 ms. Times only grow, however long the stream runs.
std::string AsfPacket(uint32_t index, std::string_view pcm);

// An mmsh chunk: '$', type ('H' header, 'D' data), length, and the 8-byte extension with the
// sequence number.
std::string MmshChunk(char type, uint32_t sequence, std::string_view payload);

}  // namespace sonaro::streams
