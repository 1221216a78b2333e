#include "host/streams/plan.h"

#include <array>
#include <cmath>
#include <optional>

#include "host/gbk.h"

namespace sonaro::streams {

namespace {

constexpr int kDefaultPort = 80;  // http and mmsh alike when neither host nor row names one
constexpr int kPitchSteps = 23;   // prime, so stepping by kPitchStride visits every pitch
constexpr int kPitchStride = 5;   // 1.09^5: consecutive rows a good fifth apart

const std::array<int, kPitchSteps>& Pitches() {
  static const std::array<int, kPitchSteps> pitches = [] {
    std::array<int, kPitchSteps> result{};
    for (int k = 0; k < kPitchSteps; ++k)
      result[size_t(k)] = int(std::lround(250 * std::pow(1.09, k)));
    return result;
  }();
  return pitches;
}

struct HostPort {
  std::string host;
  std::optional<int> port;
};

bool AllDigits(std::string_view text) {
  if (text.empty() || text.size() > 5) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "host", "host:port", "[v6]" or "[v6]:port"; anything else is a host without port.
HostPort SplitHost(std::string_view text) {
  if (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close != std::string_view::npos) {
      HostPort result{std::string(text.substr(1, close - 1)), std::nullopt};
      const std::string_view rest = text.substr(close + 1);
      if (rest.size() > 1 && rest[0] == ':' && AllDigits(rest.substr(1))) {
        result.port = std::stoi(std::string(rest.substr(1)));
      }
      return result;
    }
  }
  const size_t colon = text.find(':');
  if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos &&
      AllDigits(text.substr(colon + 1))) {
    return {std::string(text.substr(0, colon)), std::stoi(std::string(text.substr(colon + 1)))};
  }
  return {std::string(text), std::nullopt};
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool IsPlaylistPath(std::string_view path) {
  const size_t query = path.find('?');
  std::string_view file = path.substr(0, query);
  if (file.size() < 4) return false;
  file = file.substr(file.size() - 4);
  return (file[0] == '.') && (file[1] | 0x20) == 'a' && (file[2] | 0x20) == 's' &&
         (file[3] | 0x20) == 'x';
}

}  // namespace

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::Http:
      return "http";
    case Kind::Asx:
      return "asx";
    case Kind::Mms:
      return "mms";
  }
  return "?";
}

std::string PercentDecode(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      result += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      result += text[i];
    }
  }
  return result;
}

const Route* Listener::Find(std::string_view target) const {
  const auto found = index_.find(PercentDecode(target));
  return found == index_.end() ? nullptr : &routes[found->second];
}

bool Listener::Add(Route route) {
  std::vector<std::string> spellings{route.path};
  if (!IsAscii(route.path)) spellings.push_back(host::GbkFromUtf8(route.path));
  for (const std::string& spelling : spellings) {
    if (index_.contains(spelling)) return false;
  }
  for (const std::string& spelling : spellings) index_.emplace(spelling, routes.size());
  routes.push_back(std::move(route));
  return true;
}

std::string PlaylistStreamPath(const Route& route) {
  return "/demo/" + std::to_string(route.row) + ".wav";
}

int PitchOfRow(int row) {
  const int step = ((row % kPitchSteps) * kPitchStride) % kPitchSteps;
  return Pitches()[size_t(step < 0 ? step + kPitchSteps : step)];
}

Plan BuildPlan(std::span<const core::StationRow> rows,
               const std::function<std::string_view(int)>& hostOf) {
  Plan plan;
  std::map<std::pair<std::string, int>, size_t> listenerAt;
  std::map<std::string, int> rowOfAddress;
  for (size_t i = 0; i < rows.size(); ++i) {
    const core::StationRow& row = rows[i];
    const int number = int(i) + 1;
    const std::string_view hostText = hostOf(row.server);
    HostPort where = SplitHost(hostText);
    if (where.host.empty()) {
      plan.problems.push_back("row " + std::to_string(number) + ": S" + std::to_string(row.server) +
                              " has no host");
      continue;
    }
    if (where.port && row.port != 0) {
      plan.problems.push_back("row " + std::to_string(number) + ": S" + std::to_string(row.server) +
                              "=" + std::string(hostText) + " carries a port and the row names " +
                              std::to_string(row.port));
      continue;
    }
    const int port = where.port.value_or(row.port != 0 ? row.port : kDefaultPort);
    const std::string address = core::StreamAddress(row, hostText);
    // Rows with the same address are the same stream: the first row's pitch.
    if (rowOfAddress.contains(address)) continue;
    rowOfAddress.emplace(address, number);

    const auto key = std::make_pair(where.host, port);
    auto at = listenerAt.find(key);
    if (at == listenerAt.end()) {
      at = listenerAt.emplace(key, plan.listeners.size()).first;
      Listener listener;
      listener.host = where.host;
      listener.port = port;
      plan.listeners.push_back(std::move(listener));
    }
    Listener& listener = plan.listeners[at->second];
    Route route;
    route.kind = row.scheme == core::Scheme::Mms ? Kind::Mms
                 : IsPlaylistPath(row.path)      ? Kind::Asx
                                                 : Kind::Http;
    route.row = number;
    route.label = row.label;
    route.address = address;
    route.frequency = PitchOfRow(number);
    route.path = row.path;
    if (!listener.Add(route)) {
      plan.problems.push_back("row " + std::to_string(number) + ": " + address +
                              " shares its server and path with another stream");
      continue;
    }
    if (route.kind == Kind::Asx) {
      Route stream = route;
      stream.kind = Kind::Http;
      stream.path = PlaylistStreamPath(route);
      stream.address = "http://" + std::string(hostText) +
                       (row.port != 0 ? ":" + std::to_string(row.port) : "") + stream.path;
      stream.forPlaylist = true;
      listener.routes.back().ref = stream.address;
      if (!listener.Add(stream)) {
        plan.problems.push_back("row " + std::to_string(number) + ": " + stream.path +
                                " is taken on its server");
      }
    }
  }
  return plan;
}

Plan BuildPlan() {
  return BuildPlan(core::kStationTable, [](int server) { return core::ServerHost(server); });
}

}  // namespace sonaro::streams
