// Every answer the host gives, byte for byte (apart from dates), pinned in tests/host/answers/:
// the HTTP layer under the routes may change, what clients receive may not.
//   SONARO_WRITE_ANSWERS=1 host_answers_test   writes the files anew (review the diff).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/host/support.h"

namespace sonaro::host {
namespace {

using namespace test;

#ifndef SONARO_ANSWERS_DIR
#error "SONARO_ANSWERS_DIR names the folder of the pinned answers"
#endif

// Dates and times vary from run to run; nothing else may.
std::string Normalised(std::string raw) {
  static const std::regex kHttpDate(
      R"([A-Z][a-z]{2}, \d\d [A-Z][a-z]{2} \d{4} \d\d:\d\d:\d\d GMT)");
  static const std::regex kStamp(R"(\d{4}-\d\d-\d\d[ T]\d\d:\d\d(:\d\d)?)");
  raw = std::regex_replace(raw, kHttpDate, "<http-date>");
  return std::regex_replace(raw, kStamp, "<time>");
}

struct Exchange_ {
  std::string name;
  std::string request;
};

std::string Get(std::string_view path, std::string_view version = "HTTP/1.0") {
  return "GET " + std::string(path) + " " + std::string(version) +
         "\r\nHost: 127.0.0.1\r\nUser-Agent: " + std::string(kProgramAgent) +
         "\r\nAccept: */*\r\n\r\n";
}

std::string Post(std::string_view body, std::string_view type = "application/x-www-form-urlencoded",
                 std::string_view extra = "") {
  return "POST " + std::string(kDedicationPath) +
         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Type: " + std::string(type) +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + std::string(extra) +
         "\r\n" + std::string(body);
}

TEST(HostAnswers, EveryRouteAndStatusAnswersAsPinned) {
  TempDir dir;
  HostOptions options = TestOptions(dir.path());
  options.submit_interval = std::chrono::seconds(60);
  ServedHost served(options);
  const std::string form = DedicationForm("生日快乐");
  const std::vector<Exchange_> exchanges = {
      {"feed_empty", Get(kFeedPath)},
      {"announcement", Get(kAnnouncementPath)},
      {"update_page", Get(kUpdatePath)},
      {"dedication_page", Get(kDedicationPath)},
      {"advert", Get(kAdvertPath)},
      {"help", Get(kHelpPath)},
      {"head_feed", "HEAD " + std::string(kFeedPath) + " HTTP/1.0\r\n\r\n"},
      {"http11_feed", Get(kFeedPath, "HTTP/1.1")},
      {"not_found", Get("/nothing-here")},
      {"traversal", Get("/../../etc/passwd")},
      {"method", "DELETE " + std::string(kFeedPath) + " HTTP/1.0\r\n\r\n"},
      {"not_http", "hello\r\n\r\n"},
      {"stored", Post(form)},
      {"feed_one", Get(kFeedPath)},
      {"too_soon", Post(DedicationForm("天天开心"))},
      {"repeated", Post(form)},
      {"refused", Post(GbkForm({{"neirong", ""}}))},
      {"wrong_type", Post(form, "text/plain")},
      {"too_large", Post(std::string(20000, 'a'))},
      {"headers_too_large", "GET / HTTP/1.0\r\nX-Long: " + std::string(9000, 'x') + "\r\n\r\n"},
      {"no_length", "POST " + std::string(kDedicationPath) +
                        " HTTP/1.0\r\nContent-Type: "
                        "application/x-www-form-urlencoded\r\n\r\n"},
  };
  const bool write = std::getenv("SONARO_WRITE_ANSWERS") != nullptr;
  for (const Exchange_& exchange : exchanges) {
    const std::string answer = Normalised(Exchange(served.port(), exchange.request).raw);
    const std::string file = std::string(SONARO_ANSWERS_DIR) + "/" + exchange.name + ".http";
    if (write) {
      std::ofstream(file, std::ios::binary) << answer;
      continue;
    }
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << "no pinned answer " << file;
    std::stringstream pinned;
    pinned << in.rdbuf();
    EXPECT_EQ(answer, pinned.str()) << exchange.name;
  }
}

}  // namespace
}  // namespace sonaro::host
