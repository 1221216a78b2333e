#include "host/feed.h"

#include <string_view>

#include "host/gbk.h"
#include "host/markup.h"

namespace sonaro::host {

std::string BuildFeed(const std::vector<Dedication>& dedications, const FieldLimits& limits) {
  const std::string root(core::feed_tag::kRoot);
  const std::string record(core::feed_tag::kRecord);
  std::string xml = "<" + root + ">\r\n";
  for (const Dedication& d : dedications) {
    xml += "<" + record + ">";
    for (const core::DedicationField& field : core::kDedicationFields) {
      const size_t limit =
          field.member == &Dedication::wishes ? limits.wishes_bytes : limits.other_bytes;
      xml += '<';
      xml += field.feedTag;
      xml += '>';
      xml += EscapeXml(CutToGbkBytes(d.*field.member, limit));
      xml += "</";
      xml += field.feedTag;
      xml += '>';
    }
    xml += "</" + record + ">\r\n";
  }
  xml += "</" + root + ">\r\n";
  return "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n" + GbkFromUtf8(xml);
}

}  // namespace sonaro::host
