#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>

#include "artgen.h"

namespace artgen {

namespace {

void Put16(QByteArray& out, int value) {
  out.append(char(value & 0xFF));
  out.append(char((value >> 8) & 0xFF));
}

void Put32(QByteArray& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.append(char((value >> (8 * i)) & 0xFF));
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "sonaro-artgen: %s\n", what);
  std::exit(1);
}

QByteArray Encode(const QImage& image, const char* format, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, format);
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(image)) Fail("image encoding failed");
  return bytes;
}

bool HasPureWhite(const QImage& decoded) {
  const QImage rgb = decoded.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if ((row[x] & 0xFFFFFF) == kPureWhite) return true;
  }
  return false;
}

// --- GIF: one shared palette by median cut, then LZW ---

struct ColourCount {
  QRgb rgb;
  std::uint64_t count;
};

int Channel(QRgb c, int channel) {
  return channel == 0 ? qRed(c) : channel == 1 ? qGreen(c) : qBlue(c);
}

struct Box {
  std::vector<ColourCount> colours;
  int widestChannel = 0;
  int range = 0;
  std::uint64_t pixels = 0;

  void Measure() {
    range = -1;
    pixels = 0;
    for (const auto& c : colours) pixels += c.count;
    for (int ch = 0; ch < 3; ++ch) {
      int lo = 255, hi = 0;
      for (const auto& c : colours) {
        lo = std::min(lo, Channel(c.rgb, ch));
        hi = std::max(hi, Channel(c.rgb, ch));
      }
      // Green weighs most for the eye, blue least.
      static constexpr std::array<int, 3> kWeight = {3, 4, 2};
      const int weighted = (hi - lo) * kWeight[ch];
      if (weighted > range) {
        range = weighted;
        widestChannel = ch;
      }
    }
  }

  QRgb Mean() const {
    double r = 0, g = 0, b = 0, n = 0;
    for (const auto& c : colours) {
      r += double(qRed(c.rgb)) * double(c.count);
      g += double(qGreen(c.rgb)) * double(c.count);
      b += double(qBlue(c.rgb)) * double(c.count);
      n += double(c.count);
    }
    QRgb mean = qRgb(int(std::lround(r / n)), int(std::lround(g / n)), int(std::lround(b / n)));
    if ((mean & 0xFFFFFF) == kPureWhite) mean = 0xFF000000u | kNearWhite;
    return mean;
  }
};

std::vector<QRgb> MedianCutPalette(const std::vector<QImage>& frames, int size) {
  std::unordered_map<QRgb, std::uint64_t> histogram;
  for (const QImage& frame : frames)
    for (int y = 0; y < frame.height(); ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
      for (int x = 0; x < frame.width(); ++x) ++histogram[row[x] | 0xFF000000u];
    }
  Box all;
  for (const auto& [rgb, count] : histogram) all.colours.push_back({rgb, count});
  // A fixed order keeps the result independent of the hash map's iteration order.
  std::sort(all.colours.begin(), all.colours.end(),
            [](const ColourCount& a, const ColourCount& b) { return a.rgb < b.rgb; });
  all.Measure();
  std::vector<Box> boxes{all};
  while (int(boxes.size()) < size) {
    // Split the box that spans the widest range, weighted a little by how much it covers.
    int best = -1;
    double bestScore = 0;
    for (int i = 0; i < int(boxes.size()); ++i) {
      if (boxes[i].colours.size() < 2) continue;
      const double score = double(boxes[i].range) * std::sqrt(double(boxes[i].pixels));
      if (score > bestScore) {
        bestScore = score;
        best = i;
      }
    }
    if (best < 0) break;
    Box box = std::move(boxes[best]);
    const int ch = box.widestChannel;
    std::stable_sort(box.colours.begin(), box.colours.end(),
                     [ch](const ColourCount& a, const ColourCount& b) {
                       return Channel(a.rgb, ch) < Channel(b.rgb, ch);
                     });
    std::uint64_t half = box.pixels / 2, seen = 0;
    std::size_t cut = 1;
    for (; cut < box.colours.size(); ++cut) {
      seen += box.colours[cut - 1].count;
      if (seen >= half) break;
    }
    cut = std::clamp<std::size_t>(cut, 1, box.colours.size() - 1);
    Box low, high;
    low.colours.assign(box.colours.begin(), box.colours.begin() + long(cut));
    high.colours.assign(box.colours.begin() + long(cut), box.colours.end());
    low.Measure();
    high.Measure();
    boxes[best] = std::move(low);
    boxes.push_back(std::move(high));
  }
  std::vector<QRgb> palette;
  for (const Box& box : boxes) palette.push_back(box.Mean());
  return palette;
}

class BitWriter {
 public:
  void Put(int code, int width) {
    accumulator_ |= std::uint32_t(code) << bits_;
    bits_ += width;
    while (bits_ >= 8) {
      bytes_.append(char(accumulator_ & 0xFF));
      accumulator_ >>= 8;
      bits_ -= 8;
    }
  }
  QByteArray Finish() {
    if (bits_ > 0) bytes_.append(char(accumulator_ & 0xFF));
    accumulator_ = 0;
    bits_ = 0;
    return bytes_;
  }

 private:
  QByteArray bytes_;
  std::uint32_t accumulator_ = 0;
  int bits_ = 0;
};

QByteArray LzwCompress(const std::vector<std::uint8_t>& indices, int minCodeSize) {
  const int clearCode = 1 << minCodeSize;
  const int endCode = clearCode + 1;
  int codeSize = minCodeSize + 1;
  int lastCode = endCode;  // highest code in use
  std::unordered_map<std::uint32_t, int> table;
  BitWriter out;
  out.Put(clearCode, codeSize);
  int current = -1;
  for (std::uint8_t value : indices) {
    if (current < 0) {
      current = value;
      continue;
    }
    const std::uint32_t key = (std::uint32_t(current) << 8) | value;
    if (auto it = table.find(key); it != table.end()) {
      current = it->second;
      continue;
    }
    out.Put(current, codeSize);
    table[key] = ++lastCode;
    if (lastCode >= (1 << codeSize)) ++codeSize;
    if (lastCode == 4095) {
      out.Put(clearCode, codeSize);
      table.clear();
      codeSize = minCodeSize + 1;
      lastCode = endCode;
    }
    current = value;
  }
  if (current >= 0) {
    out.Put(current, codeSize);
    // A decoder adds a table entry for this last code too; its code width follows that entry.
    if (lastCode + 1 >= (1 << codeSize) && codeSize < 12) ++codeSize;
  }
  out.Put(endCode, codeSize);
  return out.Finish();
}

}  // namespace

QByteArray EncodeBmp24(const QImage& source) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const int w = image.width();
  const int h = image.height();
  const int stride = (w * 3 + 3) & ~3;
  QByteArray out;
  out.append("BM");
  Put32(out, std::uint32_t(54 + stride * h));
  Put32(out, 0);
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, std::uint32_t(w));
  Put32(out, std::uint32_t(h));  // positive: rows bottom-up
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);  // BI_RGB
  Put32(out, std::uint32_t(stride * h));
  Put32(out, 2835);  // 72 dpi
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = h - 1; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < w; ++x) {
      out.append(char(qBlue(row[x])));
      out.append(char(qGreen(row[x])));
      out.append(char(qRed(row[x])));
    }
    for (int pad = w * 3; pad < stride; ++pad) out.append('\0');
  }
  return out;
}

QByteArray EncodePng(const QImage& source, bool withAlpha) {
  QImage image = withAlpha ? source.convertToFormat(QImage::Format_ARGB32)
                           : source.convertToFormat(QImage::Format_RGB32);
  ClampWhite(image);
  return Encode(image, "png", -1);
}

QByteArray EncodeJpegWithoutWhite(const QImage& source) {
  QImage base = source.convertToFormat(QImage::Format_RGB32);
  ClampWhite(base);
  for (int percent = 100; percent >= 80; --percent) {
    QImage image = base;
    if (percent < 100) {
      for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
          const auto scale = [percent](int v) { return (v * percent + 50) / 100; };
          row[x] = qRgb(scale(qRed(row[x])), scale(qGreen(row[x])), scale(qBlue(row[x])));
        }
      }
    }
    const QByteArray bytes = Encode(image, "jpeg", 92);
    if (!HasPureWhite(QImage::fromData(bytes, "JPEG"))) return bytes;
  }
  Fail("the JPEG keeps decoding to pure white pixels");
}

QByteArray EncodeCursor(const QImage& source, QPoint hotspot) {
  if (source.size() != QSize(32, 32)) Fail("a cursor image must be 32x32");
  QImage image = source.convertToFormat(QImage::Format_ARGB32);
  ClampWhite(image);
  constexpr int kXorBytes = 32 * 32 * 4;
  constexpr int kAndBytes = 32 * 4;  // 1 bit per pixel, rows already 32-bit aligned
  constexpr int kImageBytes = 40 + kXorBytes + kAndBytes;
  QByteArray out;
  // ICONDIR: reserved, type 2 (cursor), one image.
  Put16(out, 0);
  Put16(out, 2);
  Put16(out, 1);
  // ICONDIRENTRY: size, no palette, hotspot in place of planes and bit count.
  out.append(char(32));
  out.append(char(32));
  out.append('\0');
  out.append('\0');
  Put16(out, hotspot.x());
  Put16(out, hotspot.y());
  Put32(out, kImageBytes);
  Put32(out, 6 + 16);
  // BITMAPINFOHEADER: the height counts the colour image and the mask.
  Put32(out, 40);
  Put32(out, 32);
  Put32(out, 64);
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);
  Put32(out, kXorBytes + kAndBytes);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  for (int y = 31; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < 32; ++x) {
      const QRgb c = qAlpha(row[x]) == 0 ? 0 : row[x];
      out.append(char(qBlue(c)));
      out.append(char(qGreen(c)));
      out.append(char(qRed(c)));
      out.append(char(qAlpha(c)));
    }
  }
  // AND mask: 1 where the screen shows through.
  for (int y = 31; y >= 0; --y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    std::uint32_t bits = 0;
    for (int x = 0; x < 32; ++x)
      if (qAlpha(row[x]) == 0) bits |= 0x80000000u >> x;
    for (int i = 3; i >= 0; --i) out.append(char((bits >> (8 * i)) & 0xFF));
  }
  if (out.size() != 6 + 16 + kImageBytes) Fail("cursor size mismatch");
  return out;
}

QByteArray EncodeGif(const std::vector<QImage>& sourceFrames, int delayCentiseconds) {
  if (sourceFrames.empty()) Fail("no animation frames");
  std::vector<QImage> frames;
  for (const QImage& f : sourceFrames) {
    QImage rgb = f.convertToFormat(QImage::Format_RGB32);
    ClampWhite(rgb);
    frames.push_back(rgb);
  }
  const int w = frames.front().width();
  const int h = frames.front().height();
  std::vector<QRgb> palette = MedianCutPalette(frames, 256);
  palette.resize(256, 0xFF000000u);

  QByteArray out("GIF89a");
  Put16(out, w);
  Put16(out, h);
  out.append(char(0xF7));  // global table of 256 entries, 8 bits per primary
  out.append('\0');        // background index
  out.append('\0');        // square pixels
  for (QRgb c : palette) {
    out.append(char(qRed(c)));
    out.append(char(qGreen(c)));
    out.append(char(qBlue(c)));
  }
  // Loop forever.
  out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01", 16);
  Put16(out, 0);
  out.append('\0');

  std::unordered_map<QRgb, std::uint8_t> nearest;
  for (const QImage& frame : frames) {
    if (frame.width() != w || frame.height() != h) Fail("animation frames differ in size");
    std::vector<std::uint8_t> indices;
    indices.reserve(std::size_t(w) * std::size_t(h));
    for (int y = 0; y < h; ++y) {
      const auto* row = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
      for (int x = 0; x < w; ++x) {
        const QRgb c = row[x] | 0xFF000000u;
        auto it = nearest.find(c);
        if (it == nearest.end()) {
          int best = 0;
          long bestDistance = -1;
          for (int i = 0; i < 256; ++i) {
            const long dr = qRed(c) - qRed(palette[std::size_t(i)]);
            const long dg = qGreen(c) - qGreen(palette[std::size_t(i)]);
            const long db = qBlue(c) - qBlue(palette[std::size_t(i)]);
            const long d = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
            if (bestDistance < 0 || d < bestDistance) {
              bestDistance = d;
              best = i;
            }
          }
          it = nearest.emplace(c, std::uint8_t(best)).first;
        }
        indices.push_back(it->second);
      }
    }
    // Graphic control: leave the frame in place, no transparency, the delay.
    out.append("\x21\xF9\x04\x04", 4);
    Put16(out, delayCentiseconds);
    out.append('\0');
    out.append('\0');
    // Image descriptor covering the whole screen, no local table, not interlaced.
    out.append(char(0x2C));
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, w);
    Put16(out, h);
    out.append('\0');
    out.append(char(8));
    const QByteArray data = LzwCompress(indices, 8);
    for (qsizetype at = 0; at < data.size(); at += 255) {
      const qsizetype n = std::min<qsizetype>(255, data.size() - at);
      out.append(char(n));
      out.append(data.constData() + at, n);
    }
    out.append('\0');
  }
  out.append(char(0x3B));
  return out;
}

}  // namespace artgen
