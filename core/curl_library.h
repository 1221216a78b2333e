// libcurl, opened on the first fetch: linked, it and the TLS, Kerberos and LDAP libraries it
// brings along took a twentieth of start-up up to the first painted window.
#pragma once

#include <curl/curl.h>

namespace sonaro::core {

struct CurlLibrary {
  decltype(&::curl_global_init) global_init = nullptr;
  decltype(&::curl_easy_init) easy_init = nullptr;
  decltype(&::curl_easy_setopt) easy_setopt = nullptr;
  decltype(&::curl_easy_cleanup) easy_cleanup = nullptr;
  decltype(&::curl_slist_append) slist_append = nullptr;
  decltype(&::curl_slist_free_all) slist_free_all = nullptr;
  // The multi interface, so that a fetch waiting on the network can be woken and ended.
  decltype(&::curl_multi_init) multi_init = nullptr;
  decltype(&::curl_multi_add_handle) multi_add_handle = nullptr;
  decltype(&::curl_multi_remove_handle) multi_remove_handle = nullptr;
  decltype(&::curl_multi_perform) multi_perform = nullptr;
  decltype(&::curl_multi_poll) multi_poll = nullptr;
  decltype(&::curl_multi_wakeup) multi_wakeup = nullptr;
  decltype(&::curl_multi_info_read) multi_info_read = nullptr;
  decltype(&::curl_multi_cleanup) multi_cleanup = nullptr;
};

// The library's functions, opened and initialised once (from any thread); null when libcurl
// cannot be opened or lacks one of them: then every fetch fails.
const CurlLibrary* Curl();

}  // namespace sonaro::core
