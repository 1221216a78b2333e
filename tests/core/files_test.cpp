// Writing whole files and the program folder.
#include "core/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace sonaro {
namespace {

namespace fs = std::filesystem;

class WriteFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("sonaro-files-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path folder_;
};

TEST_F(WriteFileTest, CreatesAndReplacesWithAllTheBytes) {
  std::string bytes("MZ\0\x90\xff", 5);
  ASSERT_TRUE(core::WriteFile(Path("setup.exe"), bytes));
  EXPECT_EQ(Read(Path("setup.exe")), bytes);
  // A shorter content leaves nothing of the old one.
  ASSERT_TRUE(core::WriteFile(Path("setup.exe"), "ab"));
  EXPECT_EQ(Read(Path("setup.exe")), "ab");
  ASSERT_TRUE(core::WriteFile(Path("setup.exe"), ""));
  EXPECT_TRUE(fs::exists(Path("setup.exe")));
  EXPECT_EQ(fs::file_size(Path("setup.exe")), 0u);
}

TEST_F(WriteFileTest, WritesLargeContents) {
  std::string bytes(8 << 20, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
  ASSERT_TRUE(core::WriteFile(Path("big"), bytes));
  EXPECT_EQ(Read(Path("big")), bytes);
}

TEST_F(WriteFileTest, FailsForPathsThatCannotBeAFile) {
  EXPECT_FALSE(core::WriteFile("", "x"));
  EXPECT_FALSE(core::WriteFile(folder_.string(), "x"));
  EXPECT_FALSE(core::WriteFile(folder_.string() + "/", "x"));
  EXPECT_FALSE(core::WriteFile(Path("missing/name"), "x"));
  EXPECT_FALSE(core::WriteFile(Path(".."), "x"));
  EXPECT_FALSE(core::WriteFile(std::string("a\0b", 3), "x"));
  for (const char* name : {"f.exe?x=1", "a:b", "a*", "a\"b", "a<b", "a>b", "a|b", "a\\b", "a\tb"}) {
    EXPECT_FALSE(core::WriteFile(Path(name), "x")) << name;
    EXPECT_FALSE(fs::exists(Path(name))) << name;
  }
}

TEST_F(WriteFileTest, FailsWhileAnotherWriterHoldsTheFile) {
  ASSERT_TRUE(core::WriteFile(Path("held"), "old"));
  int fd = ::open(Path("held").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  EXPECT_FALSE(core::WriteFile(Path("held"), "new"));
  EXPECT_EQ(Read(Path("held")), "old");
  ::close(fd);
  EXPECT_TRUE(core::WriteFile(Path("held"), "new"));
}

TEST_F(WriteFileTest, FailsOnAPipeWithoutReaderInsteadOfWaiting) {
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(core::WriteFile(Path("pipe"), "x"));
}

TEST(ProgramFolder, IsTheExecutablesFolderWithoutTrailingSlash) {
  std::string folder = core::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '/');
  EXPECT_EQ(fs::path(folder), fs::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace sonaro
