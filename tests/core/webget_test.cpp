// WebGet against servers on 127.0.0.1 that the tests run themselves.
#include "core/webget.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <filesystem>

#include "core/text.h"
#include "support/loopback_server.h"

namespace sonaro {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackServer;
using testing::RequestPath;
using testing::Response;

core::WebGetOptions Short() {
  core::WebGetOptions options;
  options.connectTimeout = 2s;
  options.totalTimeout = 5s;
  return options;
}

std::string ExpectedHead(const std::string& path, int port) {
  return "GET " + path + " HTTP/1.0\r\n" + "Host: 127.0.0.1:" + std::to_string(port) + "\r\n" +
         "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\r\n" + "Accept: */*\r\n" +
         "\r\n";
}

TEST(WebGet, SendsTheFixedRequestFormAndGivesTheBody) {
  LoopbackServer server([](const std::string&) { return Response(200, "OK", "hello"); });
  EXPECT_EQ(core::WebGet(server.Url("/gengxin.html?a=1"), Short()), "hello");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], ExpectedHead("/gengxin.html?a=1", server.Port()));
}

TEST(WebGet, EscapesSpacesAndGbkBytesInTheAddress) {
  LoopbackServer server([](const std::string&) { return Response(200, "OK", "found"); });
  EXPECT_EQ(core::WebGet(server.Url("/new version.exe"), Short()), "found");
  EXPECT_EQ(core::WebGet(server.Url("/\xD6\xD0.exe?q=a b"), Short()), "found");
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(RequestPath(server.Requests()[0]), "/new%20version.exe");
  EXPECT_EQ(RequestPath(server.Requests()[1]), "/%d6%d0.exe?q=a%20b");
}

TEST(WebGet, GivesTheBodyWhateverTheStatus) {
  const std::string page = "<html><body>404 Not Found</body></html>";
  LoopbackServer server([&](const std::string& head) -> std::optional<std::string> {
    if (RequestPath(head) == "/missing") return Response(404, "Not Found", page);
    return Response(500, "Internal Server Error", "oops");
  });
  bool complete = false;
  EXPECT_EQ(core::WebGet(server.Url("/missing"), Short(), &complete), page);
  EXPECT_TRUE(complete);
  EXPECT_EQ(core::WebGet(server.Url("/broken"), Short()), "oops");
}

TEST(WebGet, FollowsRedirectsAndGivesOnlyTheLastBody) {
  LoopbackServer server([](const std::string& head) -> std::optional<std::string> {
    std::string path = RequestPath(head);
    if (path == "/old") return Response(302, "Found", "moved", "Location: /middle\r\n");
    if (path == "/middle") return Response(301, "Moved", "moved again", "Location: /new\r\n");
    return Response(200, "OK", "new place");
  });
  EXPECT_EQ(core::WebGet(server.Url("/old"), Short()), "new place");
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(RequestPath(requests[2]), "/new");
  // Every request of the chain has the same form.
  EXPECT_EQ(requests[1], ExpectedHead("/middle", server.Port()));
  EXPECT_EQ(requests[2], ExpectedHead("/new", server.Port()));
}

TEST(WebGet, EndsARedirectLoop) {
  LoopbackServer server([](const std::string&) {
    return std::optional<std::string>(Response(302, "Found", "", "Location: /again\r\n"));
  });
  EXPECT_EQ(core::WebGet(server.Url("/again"), Short()), "");
  EXPECT_LE(server.Requests().size(), 21u);
}

TEST(WebGet, KeepsZeroBytesInTheBody) {
  const std::string body("ab\0cd", 5);
  LoopbackServer server([&](const std::string&) { return Response(200, "OK", body); });
  core::Bytes got = core::WebGet(server.Url("/"), Short());
  EXPECT_EQ(got, body);
  EXPECT_EQ(core::TextFromBytes(got), "ab");
}

TEST(WebGet, GivesTheBytesReadBeforeTheConnectionBroke) {
  LoopbackServer server([](const std::string&) {
    return std::optional<std::string>("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nfirst part");
  });
  bool complete = true;
  EXPECT_EQ(core::WebGet(server.Url("/"), Short(), &complete), "first part");
  EXPECT_FALSE(complete);  // the caller can tell a part from the whole
}

TEST(WebGet, GivesNothingWhenNothingAnswers) {
  LoopbackServer silent([](const std::string&) { return std::optional<std::string>(); });
  core::WebGetOptions page = Short();
  page.totalTimeout = 300ms;
  EXPECT_EQ(core::WebGet(silent.Url("/"), page), "");

  // A download has no total limit but gives up on a stalled transfer.
  core::WebGetOptions download = core::DownloadFetchOptions();
  download.stallTime = 1s;
  EXPECT_EQ(core::WebGet(silent.Url("/update.exe"), download), "");
}

TEST(WebGet, GivesNothingWithoutAConnectionOrAUsableAddress) {
  EXPECT_EQ(
      core::WebGet("http://127.0.0.1:" + std::to_string(testing::UnusedPort()) + "/", Short()), "");
  EXPECT_EQ(core::WebGet("", Short()), "");
  EXPECT_EQ(core::WebGet("not an address", Short()), "");
  EXPECT_EQ(core::WebGet("http://", Short()), "");
  // Only http and https, also at the end of a redirect.
  EXPECT_EQ(core::WebGet("file:///etc/hostname", Short()), "");
  LoopbackServer server([](const std::string&) {
    return std::optional<std::string>(
        Response(302, "Found", "", "Location: file:///etc/hostname\r\n"));
  });
  EXPECT_EQ(core::WebGet(server.Url("/"), Short()), "");
}

TEST(WebGet, IgnoresProxySettings) {
  LoopbackServer server([](const std::string&) { return Response(200, "OK", "direct"); });
  std::string proxy = "http://127.0.0.1:" + std::to_string(testing::UnusedPort());
  const char* names[] = {"http_proxy", "HTTPS_PROXY", "https_proxy", "ALL_PROXY", "all_proxy"};
  for (const char* name : names) setenv(name, proxy.c_str(), 1);
  core::Bytes got = core::WebGet(server.Url("/"), Short());
  for (const char* name : names) unsetenv(name);
  EXPECT_EQ(got, "direct");
}

TEST(WebGet, RefusesABodyBeyondTheSizeLimit) {
  std::string big(1 << 20, 'x');
  LoopbackServer server([&](const std::string&) { return Response(200, "OK", big); });
  core::WebGetOptions options = Short();
  options.maxBytes = big.size() - 1;
  EXPECT_EQ(core::WebGet(server.Url("/"), options), "");
  options.maxBytes = big.size();
  EXPECT_EQ(core::WebGet(server.Url("/"), options).size(), big.size());
}

class WebGetTls : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / ("sonaro-tls-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder_);
    files_ = testing::MakeSelfSignedCertificate(folder_.string());
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  std::filesystem::path folder_;
  testing::TlsFiles files_;
};

TEST_F(WebGetTls, RefusesAServerTheSystemDoesNotTrust) {
  LoopbackServer server([](const std::string&) { return Response(200, "OK", "secret"); },
                        files_.certificate, files_.key);
  EXPECT_EQ(core::WebGet(server.Url("/"), Short()), "");
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(WebGetTls, FetchesOverTlsOnTheSameTerms) {
  LoopbackServer server([](const std::string&) { return Response(200, "OK", "secret"); },
                        files_.certificate, files_.key);
  core::WebGetOptions options = Short();
  options.caFile = files_.certificate;
  EXPECT_EQ(core::WebGet(server.Url("/x"), options), "secret");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].substr(0, server.Requests()[0].find("\r\n")), "GET /x HTTP/1.0");
}

// SSL_CERT_FILE stands for the system's store, as for OpenSSL's programs; and a fetch that
// started on https is not led back to plain http by a redirect.
TEST_F(WebGetTls, TrustsTheCertificateFileAndNeverLeavesTls) {
  LoopbackServer plain([](const std::string&) { return Response(200, "OK", "in the clear"); });
  const std::string downgrade = plain.Url("/x");
  LoopbackServer server(
      [&](const std::string& head) -> std::optional<std::string> {
        if (RequestPath(head) == "/down") {
          return Response(302, "Found", "", "Location: " + downgrade + "\r\n");
        }
        if (RequestPath(head) == "/here") return Response(302, "Found", "", "Location: /x\r\n");
        return Response(200, "OK", "secret");
      },
      files_.certificate, files_.key);
  ::setenv("SSL_CERT_FILE", files_.certificate.c_str(), 1);
  EXPECT_EQ(core::WebGet(server.Url("/here"), Short()), "secret");
  EXPECT_EQ(core::WebGet(server.Url("/down"), Short()), "");
  EXPECT_TRUE(plain.Requests().empty());
  ::unsetenv("SSL_CERT_FILE");
  EXPECT_EQ(core::WebGet(server.Url("/x"), Short()), "");
}

}  // namespace
}  // namespace sonaro
