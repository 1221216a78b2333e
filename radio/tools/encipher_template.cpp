// Build step: turns the Player page template (UTF-8 HTML) into the enciphered GBK block the
// program carries, as a C++ source file.
//   encipher_template <template.html> <output.cpp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "core/gbk.h"
#include "radio/template_cipher.h"

namespace {

// Fixed header words: the same template always makes the same block.
constexpr uint32_t kHeaderA = 0x3C9E175A;
constexpr uint32_t kHeaderB = 0x81B6D2C4;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <template.html> <output.cpp>\n", argv[0]);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "encipher_template: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::string utf8((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string gbk = sonaro::core::GbkFromUtf8(utf8);
  // The program fills these in; a template without one of them cannot make a working page.
  for (const char* placeholder : {"播放器宽度", "播放器高度", "播放列表数据"}) {
    if (gbk.find(sonaro::core::GbkFromUtf8(placeholder)) == std::string::npos) {
      std::fprintf(stderr, "encipher_template: %s lacks the placeholder %s\n", argv[1],
                   placeholder);
      return 1;
    }
  }
  const std::string block =
      sonaro::radio::EncipherBlock(gbk, sonaro::radio::kTemplateKey, kHeaderA, kHeaderB);
  if (sonaro::radio::DecipherBlock(block, sonaro::radio::kTemplateKey) != gbk) {
    std::fprintf(stderr, "encipher_template: the block does not decipher to the template\n");
    return 1;
  }

  std::ostringstream out;
  out << "// Generated at build time from the Player page template. Do not edit.\n"
         "#include \"radio/player_page_block.h\"\n\n"
         "namespace sonaro::radio {\n"
         "const unsigned char kPlayerPageBlock[] = {";
  for (size_t i = 0; i < block.size(); ++i) {
    if (i % 16 == 0) out << "\n   ";
    char byte[8];
    std::snprintf(byte, sizeof byte, " 0x%02X,", unsigned(uint8_t(block[i])));
    out << byte;
  }
  out << "\n};\nconst size_t kPlayerPageBlockSize = sizeof kPlayerPageBlock;\n"
         "}  // namespace sonaro::radio\n";
  std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
  file << out.str();
  if (!file) {
    std::fprintf(stderr, "encipher_template: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
