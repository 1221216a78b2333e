// A small HTTP server on 127.0.0.1 for tests: it records every request head exactly as it
// arrived and answers with whatever raw bytes the test's handler gives, optionally over TLS.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sonaro::testing {

class LoopbackServer {
 public:
  // Gets the request head (request line and headers, up to and including the empty line) and
  // gives the raw response bytes; nullopt keeps the connection open without ever answering.
  using Handler = std::function<std::optional<std::string>(const std::string& head)>;

  // tlsCertificate/tlsKey: PEM files; empty for plain HTTP.
  explicit LoopbackServer(Handler handler, const std::string& tlsCertificate = {},
                          const std::string& tlsKey = {});
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  int Port() const;
  // "http://127.0.0.1:<port>" + path (or https).
  std::string Url(const std::string& path) const;
  std::vector<std::string> Requests() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// A complete HTTP/1.0 response with a Content-Length.
std::string Response(int status, const std::string& reason, const std::string& body,
                     const std::string& extraHeaders = {});

// The path of a request head's request line ("GET /a HTTP/1.0" gives "/a").
std::string RequestPath(const std::string& head);

// A self-signed certificate for 127.0.0.1 and its key, written as PEM files into folder.
struct TlsFiles {
  std::string certificate;
  std::string key;
};
TlsFiles MakeSelfSignedCertificate(const std::string& folder);

// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
int UnusedPort();

}  // namespace sonaro::testing
