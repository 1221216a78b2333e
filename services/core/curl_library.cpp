#include "services/core/curl_library.h"

#include <cstdio>

#include "services/core/shared_library.h"

namespace sonaro {

namespace {

const CurlLibrary* Open() {
  void* library = OpenLibrary({"libcurl.so.4", "libcurl-gnutls.so.4", "libcurl.so"}, "libcurl");
  if (!library) return nullptr;
  static CurlLibrary curl;
  const bool complete = Resolve(library, "curl_global_init", curl.global_init) &&
                        Resolve(library, "curl_easy_init", curl.easy_init) &&
                        Resolve(library, "curl_easy_setopt", curl.easy_setopt) &&
                        Resolve(library, "curl_easy_perform", curl.easy_perform) &&
                        Resolve(library, "curl_easy_cleanup", curl.easy_cleanup) &&
                        Resolve(library, "curl_slist_append", curl.slist_append) &&
                        Resolve(library, "curl_slist_free_all", curl.slist_free_all);
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

}  // namespace sonaro
