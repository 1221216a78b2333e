// 我的电台's worker: changes made in the order asked, an index meant as the list was shown when
// it was asked, and a change that cannot be saved not made.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "collection/kept_stations.h"
#include "radio/my_stations.h"

using namespace sonaro;
using collection::Change;
using collection::KeptStation;

namespace {

QTemporaryDir& DataHome() {
  static QTemporaryDir dir;
  return dir;
}
QString ListFile() { return DataHome().path() + "/sonaro/kept-stations.m3u"; }

const KeptStation kA{"一台", "http://a.example/1"};
const KeptStation kB{"二台", "http://b.example/2"};
const KeptStation kC{"三台", "http://c.example/3"};

class MyStationsWorker : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { qputenv("XDG_DATA_HOME", DataHome().path().toUtf8()); }
  void SetUp() override {
    while (!radio::MyStations().empty()) {
      radio::RemoveMyStation(0, nullptr);
      Settle();
    }
    radio::SetMyStationsObserver([this] { ++told_; });
  }
  void TearDown() override { radio::SetMyStationsObserver({}); }
  static void Settle() {  // every change made, and its answer back on this thread
    radio::FinishMyStationsWork();
    QCoreApplication::sendPostedEvents();
  }
  std::function<void(Change)> Record() {
    return [this](Change change) {
      answers_.push_back(change);
      sizes_.push_back(radio::MyStations().size());
    };
  }
  void Keep(const KeptStation& station) {
    radio::KeepStation(station.name, station.address, Record());
  }
  static std::vector<KeptStation> Saved() {  // what a new reader finds in the file
    collection::KeptStations file(ListFile().toStdString());
    file.Load();
    return file.Stations();
  }

  std::vector<Change> answers_;
  std::vector<size_t> sizes_;  // the list's length when each answer came
  int told_ = 0;
};

}  // namespace

TEST_F(MyStationsWorker, ChangesAreMadeAndAnsweredInTheOrderAsked) {
  for (const KeptStation& station :
       {kA, kB, kC, KeptStation{"又一台", kA.address}, KeptStation{"文件", "file:///tmp/x.mp3"}})
    Keep(station);
  Settle();
  EXPECT_EQ(answers_, (std::vector<Change>{Change::kDone, Change::kDone, Change::kDone,
                                           Change::kDuplicate, Change::kNotStreamAddress}));
  // Each answer comes after the list it made.
  EXPECT_EQ(sizes_, (std::vector<size_t>{1, 2, 3, 3, 3}));
  EXPECT_EQ(radio::MyStations(), (std::vector<KeptStation>{kA, kB, kC}));
  EXPECT_EQ(Saved(), radio::MyStations());
  EXPECT_GE(told_, 1);
}

TEST_F(MyStationsWorker, AnIndexMeansTheStationShownThereWhenAsked) {
  for (const KeptStation& station : {kA, kB, kC}) Keep(station);
  Settle();
  answers_.clear();
  // Asked one after the other against the list shown (A, B, C), before any is made.
  struct Step {
    bool remove;
    size_t index;
    const char* name;
    Change expected;
  };
  const Step steps[] = {
      {true, 0, "", Change::kDone},              // A
      {false, 1, "乙", Change::kDone},           // B, now first on the worker
      {true, 0, "", Change::kNoSuchStation},     // A again: gone
      {false, 3, "无", Change::kNoSuchStation},  // past the end
      {false, 2, "  丙\t台 ", Change::kDone},    // C, the name cleaned
  };
  std::vector<Change> expected;
  for (const Step& step : steps) {
    step.remove ? radio::RemoveMyStation(step.index, Record())
                : radio::RenameMyStation(step.index, step.name, Record());
    expected.push_back(step.expected);
  }
  Settle();
  EXPECT_EQ(answers_, expected);
  EXPECT_EQ(radio::MyStations(),
            (std::vector<KeptStation>{{"乙", kB.address}, {"丙 台", kC.address}}));
  EXPECT_EQ(Saved(), radio::MyStations());
}

// The list file's own failures are the collection's tests; here: a refused change tells no
// observer, and the list shown stays the saved one.
TEST_F(MyStationsWorker, AChangeThatCannotBeSavedIsNotMadeNorTold) {
  Keep(kA);
  Settle();
  told_ = 0;
  // A folder where the file was: nothing can be renamed over it, whoever runs the test.
  ASSERT_TRUE(QFile::remove(ListFile()));
  ASSERT_TRUE(QDir().mkpath(ListFile() + "/in-the-way"));
  Keep(kB);
  Settle();
  EXPECT_EQ(answers_.back(), Change::kNotSaved);
  EXPECT_EQ(radio::MyStations(), std::vector<KeptStation>{kA});
  EXPECT_EQ(told_, 0);
  ASSERT_TRUE(QDir(ListFile()).removeRecursively());
}
