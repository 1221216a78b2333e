#include "core/curl_library.h"

#include <cstdio>

#include "core/shared_library.h"

namespace sonaro::core {

namespace {

const CurlLibrary* Open() {
  void* library = OpenLibrary({"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"}, "libcurl");
  if (!library) return nullptr;
  static CurlLibrary curl;
  const bool complete = Resolve(library, "curl_global_init", curl.global_init) &&
                        Resolve(library, "curl_easy_init", curl.easy_init) &&
                        Resolve(library, "curl_easy_setopt", curl.easy_setopt) &&
                        Resolve(library, "curl_easy_cleanup", curl.easy_cleanup) &&
                        Resolve(library, "curl_slist_append", curl.slist_append) &&
                        Resolve(library, "curl_slist_free_all", curl.slist_free_all) &&
                        Resolve(library, "curl_multi_init", curl.multi_init) &&
                        Resolve(library, "curl_multi_add_handle", curl.multi_add_handle) &&
                        Resolve(library, "curl_multi_remove_handle", curl.multi_remove_handle) &&
                        Resolve(library, "curl_multi_perform", curl.multi_perform) &&
                        Resolve(library, "curl_multi_poll", curl.multi_poll) &&
                        Resolve(library, "curl_multi_wakeup", curl.multi_wakeup) &&
                        Resolve(library, "curl_multi_info_read", curl.multi_info_read) &&
                        Resolve(library, "curl_multi_cleanup", curl.multi_cleanup);
  if (!complete) {
    std::fprintf(stderr, "sonaro: the libcurl found lacks a function the program needs\n");
    return nullptr;
  }
  if (curl.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    std::fprintf(stderr, "sonaro: libcurl could not be initialised\n");
    return nullptr;
  }
  return &curl;
}

}  // namespace

const CurlLibrary* Curl() {
  static const CurlLibrary* const library = Open();  // thread-safe, once
  return library;
}

}  // namespace sonaro::core
