#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace sonaro::testing {

struct LoopbackServer::State {
  Handler handler;
  int listener = -1;
  int stop = -1;
  int port = 0;
  SSL_CTX* tls = nullptr;
  std::mutex mutex;
  std::vector<std::string> requests;
  std::vector<std::thread> connections;
  std::thread acceptor;

  // Waits until fd is readable; false once the server is stopping.
  bool WaitReadable(int fd) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop, POLLIN, 0}};
    while (true) {
      int n = ::poll(fds, 2, -1);
      if (n < 0) return false;
      if (fds[1].revents) return false;
      if (fds[0].revents) return true;
    }
  }

  void Serve(int fd) {
    SSL* ssl = nullptr;
    if (tls) {
      ssl = SSL_new(tls);
      SSL_set_fd(ssl, fd);
      if (SSL_accept(ssl) <= 0) {
        SSL_free(ssl);
        ::close(fd);
        return;
      }
    }
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
      if (!(ssl && SSL_pending(ssl) > 0) && !WaitReadable(fd)) break;
      int n =
          ssl ? SSL_read(ssl, buffer, sizeof buffer) : int(::recv(fd, buffer, sizeof buffer, 0));
      if (n <= 0) break;
      head.append(buffer, size_t(n));
    }
    if (head.find("\r\n\r\n") != std::string::npos) {
      {
        std::lock_guard lock(mutex);
        requests.push_back(head);
      }
      std::optional<std::string> response = handler(head);
      if (!response) {
        // Hold the connection, silent, until the server stops.
        pollfd wait = {stop, POLLIN, 0};
        ::poll(&wait, 1, -1);
      } else {
        std::string_view rest = *response;
        while (!rest.empty()) {
          int n = ssl ? SSL_write(ssl, rest.data(), int(rest.size()))
                      : int(::send(fd, rest.data(), rest.size(), MSG_NOSIGNAL));
          if (n <= 0) break;
          rest.remove_prefix(size_t(n));
        }
      }
    }
    if (ssl) {
      SSL_shutdown(ssl);
      SSL_free(ssl);
    }
    ::shutdown(fd, SHUT_RDWR);
    ::close(fd);
  }

  void Accept() {
    while (WaitReadable(listener)) {
      int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      timeval timeout = {10, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
      ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
      connections.emplace_back([this, fd] { Serve(fd); });
    }
  }
};

LoopbackServer::LoopbackServer(Handler handler, const std::string& tlsCertificate,
                               const std::string& tlsKey)
    : state_(std::make_shared<State>()) {
  state_->handler = std::move(handler);
  if (!tlsCertificate.empty()) {
    state_->tls = SSL_CTX_new(TLS_server_method());
    if (SSL_CTX_use_certificate_file(state_->tls, tlsCertificate.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(state_->tls, tlsKey.c_str(), SSL_FILETYPE_PEM) != 1) {
      throw std::runtime_error("cannot load the test certificate");
    }
  }
  state_->listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  state_->stop = ::eventfd(0, EFD_CLOEXEC);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(state_->listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(state_->listener, 16) != 0 ||
      ::getsockname(state_->listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("cannot listen on 127.0.0.1");
  }
  state_->port = ntohs(address.sin_port);
  state_->acceptor = std::thread([state = state_.get()] { state->Accept(); });
}

LoopbackServer::~LoopbackServer() {
  uint64_t one = 1;
  (void)!::write(state_->stop, &one, sizeof one);
  state_->acceptor.join();
  for (std::thread& t : state_->connections) t.join();
  ::close(state_->listener);
  ::close(state_->stop);
  if (state_->tls) SSL_CTX_free(state_->tls);
}

int LoopbackServer::Port() const { return state_->port; }

std::string LoopbackServer::Url(const std::string& path) const {
  return std::string(state_->tls ? "https" : "http") +
         "://127.0.0.1:" + std::to_string(state_->port) + path;
}

std::vector<std::string> LoopbackServer::Requests() const {
  std::lock_guard lock(state_->mutex);
  return state_->requests;
}

std::string Response(int status, const std::string& reason, const std::string& body,
                     const std::string& extraHeaders) {
  return "HTTP/1.0 " + std::to_string(status) + " " + reason +
         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extraHeaders + "\r\n" +
         body;
}

std::string RequestPath(const std::string& head) {
  size_t first = head.find(' ');
  size_t second = head.find(' ', first + 1);
  if (first == std::string::npos || second == std::string::npos) return {};
  return head.substr(first + 1, second - first - 1);
}

TlsFiles MakeSelfSignedCertificate(const std::string& folder) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* cert = X509_new();
  X509_set_version(cert, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
  X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert), 24 * 3600);
  X509_set_pubkey(cert, key);
  X509_NAME* name = X509_get_subject_name(cert);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(cert, name);
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
  for (auto [nid, value] : {std::pair{NID_subject_alt_name, "IP:127.0.0.1"},
                            std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
  }
  X509_sign(cert, key, EVP_sha256());

  TlsFiles files{folder + "/cert.pem", folder + "/key.pem"};
  FILE* out = std::fopen(files.certificate.c_str(), "w");
  PEM_write_X509(out, cert);
  std::fclose(out);
  out = std::fopen(files.key.c_str(), "w");
  PEM_write_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr);
  std::fclose(out);
  X509_free(cert);
  EVP_PKEY_free(key);
  return files;
}

int UnusedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

}  // namespace sonaro::testing
