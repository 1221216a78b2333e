// The built-in stations: table integrity and the lookup by tree text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "radio/stations.h"

using namespace sonaro;
using namespace sonaro::radio;
using namespace sonaro::core;

namespace {
core::Text G(const char* utf8) { return core::GbkFromUtf8(utf8); }
}  // namespace

// Every row against the table as designed (tests/radio/station_table.tsv): the demo streams
// derive their addresses from the same table, so only an independent copy catches a wrong row.
TEST(StationTable, EveryRowIsTheDesignedOne) {
  std::ifstream file(
      std::string(std::getenv("SONARO_SOURCE_DIR") ? std::getenv("SONARO_SOURCE_DIR") : ".") +
      "/tests/radio/station_table.tsv");
  ASSERT_TRUE(file.is_open());
  size_t rows = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cells;
    for (std::stringstream fields(line); std::getline(fields, cells.emplace_back(), '\t');) {
    }
    cells.pop_back();
    ASSERT_EQ(cells.size(), 7u) << line;
    ASSERT_EQ(std::stoul(cells[0]), rows + 1) << line;
    ASSERT_LT(rows, kStationCount);
    const StationRow& row = kStationTable[rows++];
    EXPECT_EQ(row.label, cells[1]) << line;
    EXPECT_EQ(row.displayName, cells[2]) << line;
    EXPECT_EQ(row.scheme == Scheme::Mms ? "mms" : "http", cells[3]) << line;
    EXPECT_EQ("S" + std::to_string(row.server), cells[4]) << line;
    EXPECT_EQ(row.port == 0 ? "-" : std::to_string(row.port), cells[5]) << line;
    EXPECT_EQ(row.path, cells[6]) << line;
  }
  EXPECT_EQ(rows, kStationCount);
}

TEST(StationTable, ServerKeysAreNumberedByFirstUse) {
  int highest = 0;
  std::set<int> used;
  for (const StationRow& row : kStationTable) {
    ASSERT_GE(row.server, 1);
    ASSERT_LE(row.server, kServerCount);
    if (!used.count(row.server)) {
      EXPECT_EQ(row.server, highest + 1) << row.label;
      highest = row.server;
      used.insert(row.server);
    }
  }
  EXPECT_EQ(highest, kServerCount);
}

TEST(StationTable, RowsSharingALabelShareNameAndAddress) {
  for (size_t i = 0; i < kStationCount; ++i) {
    for (size_t j = i + 1; j < kStationCount; ++j) {
      if (Stations()[i].label != Stations()[j].label) continue;
      EXPECT_EQ(Stations()[i].displayName, Stations()[j].displayName) << i << " " << j;
      EXPECT_EQ(Stations()[i].address, Stations()[j].address) << i << " " << j;
    }
  }
}

TEST(StationTable, DisplayNamesDifferOnlyWhereListed) {
  // Rows 1, 3-9 and 11 (1-based) show a name other than their label.
  const std::set<size_t> differing = {0, 2, 3, 4, 5, 6, 7, 8, 10};
  for (size_t i = 0; i < kStationCount; ++i) {
    EXPECT_EQ(Stations()[i].label != Stations()[i].displayName, differing.count(i) == 1) << i;
  }
  EXPECT_EQ(Stations()[0].displayName, G("CRI怀旧金曲频道"));
  EXPECT_EQ(Stations()[10].displayName, G("山东音乐频道"));
}

TEST(StationAddress, SchemeHostPortAndPathAsListed) {
  const StationRow& withPort = kStationTable[40];  // 传奇世界网络电台, S15:5556
  EXPECT_EQ(StreamAddress(withPort), "mms://" + std::string(ServerHost(15)) + ":5556/chuanshi");
  const StationRow& plain = kStationTable[30];  // 中国之声
  EXPECT_EQ(StreamAddress(plain), "mms://" + std::string(ServerHost(7)) + "/cnr001");
  // Paths keep "?", ":" and non-ASCII text; the program's address has the latter as GBK.
  EXPECT_EQ(StreamAddress(kStationTable[29]),
            "mms://" + std::string(ServerHost(6)) + "/911pop?cccode=cc1276");
  EXPECT_EQ(StreamAddress(kStationTable[31]),
            "mms://" + std::string(ServerHost(8)) + "/D/1832/2110/v0001/reflector:51831");
  EXPECT_EQ(StreamAddress(kStationTable[51]), "mms://" + std::string(ServerHost(25)) + "/音乐");
  EXPECT_EQ(Stations()[51].address, "mms://" + std::string(ServerHost(25)) + G("/音乐"));
  EXPECT_EQ(StreamAddress(kStationTable[46]),
            "http://" + std::string(ServerHost(21)) + "/play/good.asx");
  EXPECT_TRUE(ServerHost(0).empty());
  EXPECT_TRUE(ServerHost(51).empty());
}

TEST(StationLookup, FirstExactMatchDecides) {
  const Station* cnr = FindStation(G("中国之声"));
  ASSERT_NE(cnr, nullptr);
  EXPECT_EQ(cnr, &Stations()[30]);

  // Same server and path, different names.
  const Station* hit887 = FindStation(G("CRI Hit FM 88.7"));
  const Station* hitFm = FindStation(G("CRI Hit Fm"));
  ASSERT_NE(hit887, nullptr);
  ASSERT_NE(hitFm, nullptr);
  EXPECT_EQ(hit887->address, hitFm->address);
  EXPECT_NE(hit887->displayName, hitFm->displayName);
}

TEST(StationLookup, TextsWithoutARowFindNothing) {
  for (const char* text : {"芒果Radio网络电台", "天津娱乐广播", "天津古典音乐", "天津外语广播", "",
                           "精彩电台", "中央广播电台", "cri hit fm", "中国之声 "}) {
    EXPECT_EQ(FindStation(G(text)), nullptr) << text;
  }
  // The row whose label lacks the final 电台 exists but no tree item carries it.
  EXPECT_NE(FindStation(G("芒果Radio网络")), nullptr);
}

TEST(StationTree, EveryStationItemWithARowPlays) {
  int withoutRow = 0;
  for (const ui::TreeItem& item : kTreeItems) {
    if (item.level != 2) continue;
    if (!FindStation(G(item.text))) ++withoutRow;
  }
  // 芒果Radio网络电台, 天津娱乐广播, 天津古典音乐, 天津外语广播 and the empty item.
  EXPECT_EQ(withoutRow, 5);
}
