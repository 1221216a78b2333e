#include "directory/stations.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>
#include <algorithm>
#include <tuple>

#include "directory/names.h"

namespace sonaro::directory {

namespace {

std::string Field(const QJsonObject& object, const char* key) {
  const QJsonValue value = object.value(QLatin1String(key));
  std::string text;
  if (value.isString()) text = value.toString().toStdString();
  if (value.isDouble()) text = QString::number(value.toDouble(), 'g', 15).toStdString();
  if (text.size() > kMaxFieldBytes) text.resize(kMaxFieldBytes);
  return text;
}

int64_t Number(const QJsonObject& object, const char* key) {
  const QJsonValue value = object.value(QLatin1String(key));
  double number = 0;
  if (value.isDouble()) number = value.toDouble();
  if (value.isString()) number = value.toString().toDouble();
  if (!(number >= 0 && number < 1e15)) return 0;  // also NaN
  return int64_t(number);
}

// An http or https address in its encoded form; empty for anything else (file:, data:, ...).
std::string StreamAddress(const std::string& text) {
  const QUrl url(QString::fromStdString(text), QUrl::TolerantMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
    return {};
  return url.toEncoded().toStdString();
}

}  // namespace

std::optional<std::vector<DirectoryStation>> ParseStations(std::string_view json) {
  if (json.size() > kMaxAnswerBytes) return std::nullopt;
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())));
  if (!document.isArray()) return std::nullopt;
  std::vector<DirectoryStation> stations;
  for (const QJsonValue& value : document.array()) {
    if (stations.size() >= kMaxStations) break;
    if (!value.isObject()) continue;
    const QJsonObject object = value.toObject();
    DirectoryStation station;
    station.uuid = Field(object, "stationuuid");
    station.name = Field(object, "name");
    station.url = StreamAddress(Field(object, "url_resolved"));
    if (station.url.empty()) station.url = StreamAddress(Field(object, "url"));
    if (station.uuid.empty() || station.url.empty()) continue;
    station.countryCode =
        QString::fromStdString(Field(object, "countrycode")).toUpper().toStdString();
    station.language = Field(object, "language");
    station.tags = Field(object, "tags");
    station.codec = Field(object, "codec");
    station.bitrate = int(std::min<int64_t>(Number(object, "bitrate"), 100000));
    station.checkOk = Number(object, "lastcheckok") == 1;
    station.votes = Number(object, "votes");
    station.clicks = Number(object, "clickcount");
    stations.push_back(std::move(station));
  }
  return stations;
}

std::optional<std::string> ParseClickAnswer(std::string_view json) {
  if (json.size() > kMaxAnswerBytes) return std::nullopt;
  const QJsonDocument document =
      QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())));
  if (!document.isObject()) return std::nullopt;
  const QJsonObject object = document.object();
  if (!object.value(QLatin1String("ok")).toBool()) return std::nullopt;
  std::string url = StreamAddress(Field(object, "url"));
  if (url.empty()) return std::nullopt;
  return url;
}

const DirectoryStation* ChooseStation(const std::vector<DirectoryStation>& found,
                                      const StationQuery& query) {
  const std::string wanted = FoldName(query.name);
  if (wanted.empty()) return nullptr;
  const DirectoryStation* best = nullptr;
  std::tuple<bool, bool, bool, int64_t, int64_t> bestRank{};
  for (const DirectoryStation& station : found) {
    const std::string name = FoldName(station.name);
    const bool exact = name == wanted;
    if (!exact && name.find(wanted) == std::string::npos) continue;
    const auto rank = std::make_tuple(station.checkOk, station.countryCode == query.countryCode,
                                      exact, station.votes, station.clicks);
    if (!best || rank > bestRank) {
      best = &station;
      bestRank = rank;
    }
  }
  return best;
}

}  // namespace sonaro::directory
