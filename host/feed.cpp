#include "host/feed.h"

#include <string_view>
#include <utility>

#include "host/gbk.h"
#include "host/markup.h"

namespace sonaro::host {

std::string BuildFeed(const std::vector<Dedication>& dedications) {
  static constexpr std::pair<std::string_view, std::string Dedication::*> kFields[] = {
      {"chenghu", &Dedication::chenghu},       {"diangezhe", &Dedication::diangezhe},
      {"beichenghu", &Dedication::beichenghu}, {"beidiangezhe", &Dedication::beidiangezhe},
      {"geming", &Dedication::geming},         {"gequdizhi", &Dedication::gequdizhi},
      {"zhufuyu", &Dedication::zhufuyu},
  };
  std::string xml = "<diangetai>\r\n";
  for (const Dedication& d : dedications) {
    xml += "<diange>";
    for (const auto& [tag, member] : kFields) {
      xml += '<';
      xml += tag;
      xml += '>';
      xml += EscapeXml(d.*member);
      xml += "</";
      xml += tag;
      xml += '>';
    }
    xml += "</diange>\r\n";
  }
  xml += "</diangetai>\r\n";
  return "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n" + GbkFromUtf8(xml);
}

}  // namespace sonaro::host
