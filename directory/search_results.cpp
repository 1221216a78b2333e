#include "directory/search_results.h"

#include <QString>
#include <QUrl>
#include <algorithm>
#include <tuple>
#include <unordered_set>

#include "directory/names.h"

namespace sonaro::directory {

namespace {

// What the directory sorts by and how many it gives; broken entries come too, to be marked.
constexpr const char* kSearchOptions = "&hidebroken=false&order=clickcount&reverse=true&limit=100";

QString SearchText(std::string_view text) {
  return QString::fromUtf8(text.data(), qsizetype(text.size())).simplified().left(kMaxSearchChars);
}

struct Region {
  const char* code;
  const char* name;
};

// The places Chinese-speaking listeners search most; others show their ISO code.
constexpr Region kRegions[] = {
    {"CN", "中国"},     {"HK", "香港"},       {"MO", "澳门"},   {"TW", "台湾"}, {"SG", "新加坡"},
    {"MY", "马来西亚"}, {"US", "美国"},       {"CA", "加拿大"}, {"GB", "英国"}, {"AU", "澳大利亚"},
    {"NZ", "新西兰"},   {"JP", "日本"},       {"KR", "韩国"},   {"TH", "泰国"}, {"VN", "越南"},
    {"PH", "菲律宾"},   {"ID", "印度尼西亚"}, {"DE", "德国"},   {"FR", "法国"}, {"IT", "意大利"},
    {"ES", "西班牙"},   {"NL", "荷兰"},       {"RU", "俄罗斯"}, {"IN", "印度"},
};

}  // namespace

std::vector<std::string> SearchRequests(std::string_view text) {
  const QString wanted = SearchText(text);
  std::vector<std::string> requests;
  if (wanted.isEmpty()) return requests;
  const std::vector<std::string> variants = ChineseVariants(wanted.toStdString());
  for (const char* field : {"name", "tag"}) {
    for (const std::string& variant : variants) {
      requests.push_back(std::string("/json/stations/search?") + field + "=" +
                         QUrl::toPercentEncoding(QString::fromStdString(variant)).toStdString() +
                         kSearchOptions);
    }
  }
  return requests;
}

std::vector<DirectoryStation> MergeAnswers(
    const std::vector<std::vector<DirectoryStation>>& answers, std::string_view text) {
  std::vector<DirectoryStation> merged;
  std::unordered_set<std::string> seen;
  for (const std::vector<DirectoryStation>& answer : answers) {
    for (const DirectoryStation& station : answer) {
      if (merged.size() >= kMaxStations) break;
      if (seen.insert(station.uuid).second) merged.push_back(station);
    }
  }
  const std::string wanted = FoldName(SearchText(text).toStdString());
  auto rank = [&wanted](const DirectoryStation& s) {
    return std::make_tuple(s.checkOk, !wanted.empty() && FoldName(s.name) == wanted, s.clicks,
                           s.votes);
  };
  std::stable_sort(
      merged.begin(), merged.end(),
      [&rank](const DirectoryStation& a, const DirectoryStation& b) { return rank(a) > rank(b); });
  return merged;
}

ResultPage PageOf(size_t total, int number, size_t perPage) {
  ResultPage page;
  if (total == 0 || perPage == 0) return page;
  page.pages = int((total + perPage - 1) / perPage);
  page.number = std::clamp(number, 1, page.pages);
  page.first = size_t(page.number - 1) * perPage;
  page.count = std::min(perPage, total - page.first);
  return page;
}

ResultTexts TextsOf(const DirectoryStation& station) {
  ResultTexts texts;
  texts.name = station.name;
  if (!station.checkOk) texts.name += "（可能失效）";
  texts.region = station.countryCode;
  for (const Region& region : kRegions) {
    if (station.countryCode == region.code) texts.region = region.name;
  }
  const QString codec = QString::fromStdString(station.codec).trimmed().toUpper();
  if (!codec.isEmpty() && codec != u"UNKNOWN") texts.coding = codec.toStdString();
  if (station.bitrate > 0) {
    if (!texts.coding.empty()) texts.coding += ' ';
    texts.coding += std::to_string(station.bitrate) + "k";
  }
  for (const QString& tag : QString::fromStdString(station.tags).split(u',')) {
    const QString trimmed = tag.trimmed();
    if (trimmed.isEmpty()) continue;
    if (!texts.tags.empty()) texts.tags += ", ";
    texts.tags += trimmed.toStdString();
  }
  return texts;
}

}  // namespace sonaro::directory
