// An http(s) response body read on its own thread: first to tell a playlist from a stream,
// then either read whole (a playlist) or handed to the media library byte by byte (a stream),
// so a stream is never asked for twice.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/webget.h"

namespace sonaro::media {

using core::CertificateFile;

class HttpSource {
 public:
  enum class Start { Media, Playlist, Failed, Cancelled };

  // Told each title the stream sends in its metadata (UTF-8), on the request's thread.
  using TitleHandler = std::function<void(const std::string& title)>;

  // Starts the request at once. Redirects are followed; an HTTP error status fails. The stream's
  // metadata is asked for: its blocks go to onTitle, never into the bytes read.
  explicit HttpSource(std::string address, TitleHandler onTitle = {});
  // Cancels and waits for the request's thread.
  ~HttpSource();
  HttpSource(const HttpSource&) = delete;
  HttpSource& operator=(const HttpSource&) = delete;

  // Who is told the titles from now on; the last title that came while nobody was told is told
  // at once. For a source opened before its session existed.
  void SetTitleHandler(TitleHandler onTitle);
  // The address asked for.
  const std::string& Address() const { return address_; }
  // Waits until the first bytes tell what the body is, or the request fails or is cancelled.
  Start WaitForStart();
  // The whole body, waiting for its end; nullopt when it is larger than limit, fails before
  // any byte or is cancelled.
  std::optional<std::string> ReadAll(size_t limit);
  // Blocking read: bytes copied (> 0), 0 at the end of the body, -1 on failure or cancel.
  int64_t Read(char* buffer, uint64_t size);
  // The Content-Length the server gave, or -1. Without one the body is a live stream.
  int64_t Length() const;
  // The address the body came from after any redirects (the asked one before the first bytes):
  // what a playlist's relative addresses count from.
  std::string EffectiveAddress() const;
  // The Content-Type the server gave (empty before the first bytes or without one).
  std::string ContentType() const;
  // Ends every wait at once; callable from any thread.
  void Cancel();

  struct Shared;

 private:
  std::string address_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace sonaro::media
