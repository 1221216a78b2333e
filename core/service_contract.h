// What the player and the service host agree on: the host's resources, the dedication feed's
// tags, the dedication form's fields and the dedication record. Plain C++ without Qt, included
// by both sides, so a path or a name cannot drift apart. The names on the wire are the ones
// deployed players and hosts use; never change them.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace sonaro::core {

// Resources on the service host.
namespace resource {
inline constexpr std::string_view kUpdatePage = "/gengxin.html";
inline constexpr std::string_view kFeed = "/gg/diangatai1/xmlxianshi.asp";
inline constexpr std::string_view kAnnouncement = "/gonggao.txt";
inline constexpr std::string_view kDedicationPage = "/gg/diangatai1/index.asp";  // GET form, POST
inline constexpr std::string_view kAdvertPage = "/gg/gg/gg.html";
inline constexpr std::string_view kHelpPage = "/tessaly/shouyinji/bangzhu/01.html";
}  // namespace resource

// The feed: one root element with one record element per dedication, oldest first.
namespace feed_tag {
inline constexpr std::string_view kRoot = "diangetai";
inline constexpr std::string_view kRecord = "diange";
}  // namespace feed_tag

// One dedication; texts in the encoding of the side that holds it.
struct Dedication {
  std::string dedicatorTitle;  // the dedicator's form of address
  std::string dedicator;       // the dedicator's name
  std::string recipientTitle;  // the recipient's form of address
  std::string recipient;       // the recipient's name
  std::string song;            // the song's title
  std::string songAddress;     // the song's address
  std::string wishes;          // the wishes

  bool operator==(const Dedication&) const = default;
};

// Each field's tag in the feed and input name in the dedication form, in the feed's order.
struct DedicationField {
  std::string_view feedTag;
  std::string_view formName;
  std::string Dedication::*member;
};

inline constexpr std::array<DedicationField, 7> kDedicationFields = {{
    {"chenghu", "dianchenghu", &Dedication::dedicatorTitle},
    {"diangezhe", "dianname", &Dedication::dedicator},
    {"beichenghu", "beichenghu", &Dedication::recipientTitle},
    {"beidiangezhe", "beiname", &Dedication::recipient},
    {"geming", "geming", &Dedication::song},
    {"gequdizhi", "dizhi", &Dedication::songAddress},
    {"zhufuyu", "neirong", &Dedication::wishes},
}};

// The field of a member: FieldOf(&Dedication::wishes).feedTag is "zhufuyu".
constexpr const DedicationField& FieldOf(std::string Dedication::*member) {
  for (const DedicationField& field : kDedicationFields) {
    if (field.member == member) return field;
  }
  return kDedicationFields[0];  // unreachable: every member has a field
}

// The form's hidden input a browser fills with the encoding it submitted in.
inline constexpr std::string_view kCharsetField = "_charset_";

}  // namespace sonaro::core
