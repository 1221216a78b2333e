// libcurl, opened on the first fetch: linked, it and the TLS, Kerberos and LDAP libraries it
// brings along took a twentieth of start-up up to the first painted window.
#pragma once

#include <curl/curl.h>

namespace sonaro {

struct CurlLibrary {
  decltype(&::curl_global_init) global_init = nullptr;
  decltype(&::curl_easy_init) easy_init = nullptr;
  decltype(&::curl_easy_setopt) easy_setopt = nullptr;
  decltype(&::curl_easy_perform) easy_perform = nullptr;
  decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&::curl_slist_append) slist_append = nullptr;
  decltype(&::curl_slist_free_all) slist_free_all = nullptr;
};

// The library's functions, opened and initialised once (from any thread); null when libcurl
// cannot be opened or lacks one of them: then every fetch fails.
const CurlLibrary* Curl();

}  // namespace sonaro
