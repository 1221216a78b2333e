#include "host/pages.h"

#include "host/form.h"
#include "host/gbk.h"
#include "host/markup.h"

namespace sonaro::host {
namespace {

constexpr std::string_view kHead = R"(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gbk">
<title>)";

constexpr std::string_view kStyle = R"(</title>
<style>
body { font-family: "SimSun", "Noto Sans CJK SC", sans-serif; font-size: 14px;
       background: #fff8ee; color: #333; margin: 16px; }
h1 { font-size: 20px; color: #b03a2e; margin: 0 0 8px; }
.note { padding: 8px 12px; margin: 8px 0; border-radius: 4px; }
.stored { background: #e9f7e9; border: 1px solid #80c080; }
.refused { background: #fdeceb; border: 1px solid #e0908a; }
.refused ul { margin: 4px 0; padding-left: 20px; }
form p { margin: 6px 0; }
label { display: inline-block; width: 8em; vertical-align: top; }
input[type=text], textarea { width: 22em; }
textarea { height: 7em; }
</style>
</head>
<body>
)";

}  // namespace

std::string_view StatusTitle(int status) {
  switch (status) {
    case 400:
      return "请求有误";
    case 404:
      return "找不到这个页面";
    case 405:
      return "不支持这种请求方式";
    case 408:
      return "请求超时";
    case 409:
      return "重复的祝福语";
    case 413:
      return "提交的内容太长";
    case 414:
      return "网址太长";
    case 415:
      return "不支持的提交格式";
    case 429:
      return "提交太频繁";
    case 431:
      return "请求头太长";
    case 500:
      return "服务器内部错误";
    case 503:
      return "服务器忙";
    default:
      return status >= 400 ? "出错了" : "信息";
  }
}

std::string DedicationPage(const PageNote& note, const Dedication& values) {
  std::string html(kHead);
  html += "点歌台 - 点歌留言";
  html += kStyle;
  html +=
      "<h1>点歌台</h1>\n<p>给朋友点一首歌，送上你的祝福。提交后几秒钟，点歌台上就能看到。</p>\n";
  if (note.kind == PageNote::Kind::kStored) {
    html += "<p class=\"note stored\">点歌成功！你的点歌已经保存，很快就会出现在点歌台上。</p>\n";
  } else if (note.kind == PageNote::Kind::kRefused) {
    html += "<div class=\"note refused\"><p>没有提交，请改正后再提交：</p>\n<ul>\n";
    for (const std::string& line : note.lines) html += "<li>" + EscapeHtml(line) + "</li>\n";
    html += "</ul></div>\n";
  }
  html += "<form method=\"post\" action=\"" + std::string(core::resource::kDedicationPage) +
          "\" accept-charset=\"GBK\">\n<input type=\"hidden\" name=\"" +
          std::string(core::kCharsetField) + "\">\n";
  for (const FormField& field : kFormFields) {
    std::string name(field.name());
    std::string value = EscapeHtml(values.*field.member);
    html += "<p><label for=\"" + name + "\">" + std::string(field.label) + "：</label>";
    if (field.multiline) {
      // The parser drops one line break right after the start tag; this one, not the text's.
      html += "<textarea id=\"" + name + "\" name=\"" + name + "\">\n" + value + "</textarea>";
    } else {
      html +=
          "<input type=\"text\" id=\"" + name + "\" name=\"" + name + "\" value=\"" + value + "\">";
    }
    html += "</p>\n";
  }
  html += "<p><input type=\"submit\" value=\"提交留言\"></p>\n</form>\n</body>\n</html>\n";
  return GbkFromUtf8(html);
}

std::string StatusPage(int status, std::string_view message) {
  std::string title(StatusTitle(status));
  std::string html(kHead);
  html += title;
  html += kStyle;
  html += "<h1>" + title + "</h1>\n<p>" + EscapeHtml(message) + "</p>\n</body>\n</html>\n";
  return GbkFromUtf8(html);
}

}  // namespace sonaro::host
