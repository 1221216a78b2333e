#include "host/streams/asf.h"

#include <array>
#include <cassert>

namespace sonaro::streams {

namespace {

struct Guid {
  uint32_t a;
  uint16_t b;
  uint16_t c;
  std::array<uint8_t, 8> d;
};

constexpr Guid kHeaderObject{
    0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr Guid kFileProperties{
    0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr Guid kStreamProperties{
    0xB7DC0791, 0xA9B7, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr Guid kAudioMedia{
    0xF8699E40, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr Guid kNoErrorCorrection{
    0x20FB5700, 0x5B55, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};
constexpr Guid kHeaderExtension{
    0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr Guid kHeaderExtensionReserved{
    0xABD3D211, 0xA9BA, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr Guid kDataObject{
    0x75B22636, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
// Any fixed value: the file's identity, the same in its header and its data.
constexpr Guid kFileId{
    0x736F6E61, 0x726F, 0x0001, {0x80, 0x00, 0x64, 0x65, 0x6D, 0x6F, 0x00, 0x01}};

constexpr uint32_t kBroadcastFlag = 0x01;
constexpr uint16_t kPacketDurationMs = kUnitMs;

void PutGuid(std::string& out, const Guid& guid) {
  PutLe32(out, guid.a);
  PutLe16(out, guid.b);
  PutLe16(out, guid.c);
  for (const uint8_t byte : guid.d) out += char(byte);
}

std::string FileProperties() {
  std::string out;
  PutGuid(out, kFileProperties);
  PutLe64(out, 104);
  PutGuid(out, kFileId);
  PutLe64(out, 0);  // file size, packet count and durations: unknown for a broadcast
  PutLe64(out, 0);  // creation date
  PutLe64(out, 0);
  PutLe64(out, 0);
  PutLe64(out, 0);
  PutLe64(out, 0);  // preroll (ms): presentation times are the stream's own
  PutLe32(out, kBroadcastFlag);
  PutLe32(out, uint32_t(kAsfPacketSize));  // minimum and maximum packet size are equal
  PutLe32(out, uint32_t(kAsfPacketSize));
  PutLe32(out, uint32_t(kAsfPacketSize * 8 * 1000 / kUnitMs));
  assert(out.size() == 104);
  return out;
}

std::string StreamProperties() {
  std::string format;  // WAVEFORMATEX
  PutLe16(format, 1);  // PCM
  PutLe16(format, 1);  // mono
  PutLe32(format, kSampleRate);
  PutLe32(format, kSampleRate * 2);
  PutLe16(format, 2);
  PutLe16(format, 16);
  PutLe16(format, 0);

  std::string out;
  PutGuid(out, kStreamProperties);
  PutLe64(out, 78 + format.size());
  PutGuid(out, kAudioMedia);
  PutGuid(out, kNoErrorCorrection);
  PutLe64(out, 0);  // time offset
  PutLe32(out, uint32_t(format.size()));
  PutLe32(out, 0);  // no error correction data
  PutLe16(out, kAsfStream);
  PutLe32(out, 0);
  out += format;
  return out;
}

std::string HeaderExtension() {
  std::string out;
  PutGuid(out, kHeaderExtension);
  PutLe64(out, 46);
  PutGuid(out, kHeaderExtensionReserved);
  PutLe16(out, 6);
  PutLe32(out, 0);  // no extension objects
  return out;
}

}  // namespace

std::string AsfHeader() {
  const std::string objects = FileProperties() + StreamProperties() + HeaderExtension();
  std::string out;
  PutGuid(out, kHeaderObject);
  PutLe64(out, 30 + objects.size());
  PutLe32(out, 3);
  out += char(0x01);  // the two reserved bytes have these fixed values
  out += char(0x02);
  out += objects;
  PutGuid(out, kDataObject);
  PutLe64(out, 0);  // size: unknown for a broadcast
  PutGuid(out, kFileId);
  PutLe64(out, 0);  // packet count: likewise
  out += char(0x01);
  out += char(0x01);
  return out;
}

std::string AsfPacket(uint32_t index, std::string_view pcm) {
  assert(pcm.size() == kUnitBytes);
  const uint32_t time = index * uint32_t(kPacketDurationMs);
  std::string out;
  out.reserve(kAsfPacketSize);
  out += char(0x82);  // error correction present: two bytes, both zero
  out += char(0x00);
  out += char(0x00);
  out += char(0x00);   // one payload, no sequence, no padding, packet length from the header
  out += char(0x5D);   // replicated data length: byte; offset: dword; object number, stream: byte
  PutLe32(out, time);  // send time
  PutLe16(out, kPacketDurationMs);
  out += char(0x80 | kAsfStream);  // a key frame: every PCM payload stands alone
  out += char(index & 0xFF);       // media object number
  PutLe32(out, 0);                 // offset into the media object: the payload is all of it
  out += char(8);                  // replicated data: object size and presentation time
  PutLe32(out, uint32_t(pcm.size()));
  PutLe32(out, time);
  out.append(pcm);
  assert(out.size() == kAsfPacketSize);
  return out;
}

std::string MmshChunk(char type, uint32_t sequence, std::string_view payload) {
  const size_t length = payload.size() + 8;
  assert(length <= 0xFFFF);
  std::string out;
  out.reserve(4 + length);
  out += '$';
  out += type;
  PutLe16(out, uint32_t(length));
  PutLe32(out, sequence);
  out += char(0x00);
  out += char(type == 'H' ? 0x0C : 0x00);
  PutLe16(out, uint32_t(length));
  out.append(payload);
  return out;
}

}  // namespace sonaro::streams
