#include "host/form.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "host/gbk.h"

namespace sonaro::host {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> DecodeComponent(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%') {
      if (i + 2 >= text.size()) return std::nullopt;
      int high = HexDigit(text[i + 1]);
      int low = HexDigit(text[i + 2]);
      if (high < 0 || low < 0) return std::nullopt;
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string_view First(const FormData& form, std::string_view name) {
  for (const auto& [key, value] : form) {
    if (key == name) return value;
  }
  return {};
}

std::string_view TrimAscii(std::string_view text) {
  constexpr std::string_view kBlank = " \t\r\n";
  size_t start = text.find_first_not_of(kBlank);
  if (start == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(kBlank);
  return text.substr(start, end - start + 1);
}

// Blank: nothing but ASCII white space and ideographic spaces.
bool IsBlank(std::string_view utf8) {
  constexpr std::string_view kIdeographicSpace = "\u3000";
  for (;;) {
    utf8 = TrimAscii(utf8);
    if (!utf8.starts_with(kIdeographicSpace)) return utf8.empty();
    utf8.remove_prefix(kIdeographicSpace.size());
  }
}

bool HasForbiddenControl(std::string_view text, bool multiline) {
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20) continue;
    if (multiline && (c == '\t' || c == '\r' || c == '\n')) continue;
    return true;
  }
  return false;
}

bool IsPlayableAddress(std::string_view address) {
  static constexpr std::array<std::string_view, 5> kSchemes = {"http://", "https://", "mms://",
                                                               "mmsh://", "rtsp://"};
  for (char c : address) {
    if (static_cast<unsigned char>(c) <= 0x20) return false;
  }
  std::string lower = Lower(address.substr(0, 8));
  return std::any_of(kSchemes.begin(), kSchemes.end(), [&](std::string_view scheme) {
    return lower.starts_with(scheme) && address.size() > scheme.size();
  });
}

// Well-formed UTF-8 with a character of three bytes or more, as every Chinese character is.
// (Two-byte sequences alone are no sign: one GBK character in four, 一 among them, is one.)
bool LooksLikeUtf8(std::string_view text) {
  return IsUtf8(text) && std::any_of(text.begin(), text.end(),
                                     [](char c) { return static_cast<unsigned char>(c) >= 0xE0; });
}

std::string Quoted(std::string_view label) { return "「" + std::string(label) + "」"; }

}  // namespace

std::optional<FormData> ParseUrlEncoded(std::string_view body) {
  FormData form;
  while (!body.empty()) {
    size_t amp = body.find('&');
    std::string_view pair = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
    if (pair.empty()) continue;
    size_t eq = pair.find('=');
    auto name = DecodeComponent(pair.substr(0, eq));
    auto value =
        DecodeComponent(eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1));
    if (!name || !value) return std::nullopt;
    form.emplace_back(std::move(*name), std::move(*value));
  }
  return form;
}

SubmissionReading ReadSubmission(const FormData& form, const FieldLimits& limits) {
  SubmissionReading reading;
  std::string charset = Lower(First(form, core::kCharsetField));
  bool utf8 = charset == "utf-8" || charset == "utf8";
  bool gbk = charset.empty() || charset == "gbk" || charset == "gb2312" || charset == "gb18030" ||
             charset == "x-gbk" || charset == "cp936" || charset == "windows-936";
  if (!utf8 && !gbk) {
    reading.problems.push_back("表单用了不支持的字符编码，请用本页的表单提交。");
    return reading;
  }

  Dedication dedication;
  for (const FormField& field : kFormFields) {
    std::string_view raw = First(form, field.name());
    if (field.member == &Dedication::songAddress) raw = TrimAscii(raw);
    std::string label = Quoted(field.label);

    std::optional<std::string> text;      // UTF-8
    std::optional<std::string> gbk_text;  // as the player will hold it
    if (utf8) {
      if (IsUtf8(raw)) {
        text = std::string(raw);
        gbk_text = StrictGbkFromUtf8(raw);
        if (!gbk_text) {
          reading.echo.*field.member = *text;
          reading.problems.push_back(label + "里有GBK编码没有的字符。");
          continue;
        }
      }
    } else if (!(charset.empty() && LooksLikeUtf8(raw))) {
      // Without "_charset_" a client that is not a browser on this page most likely sent UTF-8,
      // which may happen to be valid GBK and would be stored garbled.
      text = Utf8FromGbk(raw);
      if (text) gbk_text = std::string(raw);
    }
    if (!text) {
      reading.problems.push_back(label + "里有不是" + (utf8 ? "UTF-8" : "GBK") +
                                 "编码的文字，请用本页的表单提交。");
      continue;
    }
    reading.echo.*field.member = *text;

    if (HasForbiddenControl(*text, field.multiline)) {
      reading.problems.push_back(label + (field.multiline ? "里有不能显示的控制字符。"
                                                          : "只能写一行，不能有换行或控制字符。"));
      continue;
    }
    size_t limit = field.multiline ? limits.wishes_bytes : limits.other_bytes;
    if (gbk_text->size() > limit) {
      reading.problems.push_back(label + "太长了：最多" + std::to_string(limit) + "字节（约" +
                                 std::to_string(limit / 2) + "个汉字），现在是" +
                                 std::to_string(gbk_text->size()) + "字节。");
      continue;
    }
    if (field.member == &Dedication::wishes && IsBlank(*text)) {
      reading.problems.push_back("请填写" + label + "。");
      continue;
    }
    if (field.member == &Dedication::songAddress && !text->empty() && !IsPlayableAddress(*text)) {
      reading.problems.push_back(label +
                                 "应该是以 http://、https://、mms://、mmsh:// 或 rtsp:// "
                                 "开头、不含空格的网址。");
      continue;
    }
    dedication.*field.member = std::move(*text);
  }
  if (reading.problems.empty()) reading.dedication = std::move(dedication);
  return reading;
}

}  // namespace sonaro::host
