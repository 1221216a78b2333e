// libmpv, opened on first use instead of at program start: it brings its codec, filter and
// output libraries along, and loading them took longer than the rest of start-up up to the
// first painted window.
#pragma once

#include <mpv/client.h>
#include <mpv/stream_cb.h>

namespace sonaro::media {

struct MpvLibrary {
  decltype(&::mpv_create) create = nullptr;
  decltype(&::mpv_initialize) initialize = nullptr;
  decltype(&::mpv_terminate_destroy) terminate_destroy = nullptr;
  decltype(&::mpv_set_option_string) set_option_string = nullptr;
  decltype(&::mpv_command_async) command_async = nullptr;
  decltype(&::mpv_command_ret) command_ret = nullptr;
  decltype(&::mpv_free_node_contents) free_node_contents = nullptr;
  decltype(&::mpv_get_property) get_property = nullptr;
  decltype(&::mpv_get_property_string) get_property_string = nullptr;
  decltype(&::mpv_set_property_string) set_property_string = nullptr;
  decltype(&::mpv_observe_property) observe_property = nullptr;
  decltype(&::mpv_free) free = nullptr;
  decltype(&::mpv_wait_event) wait_event = nullptr;
  decltype(&::mpv_wakeup) wakeup = nullptr;
  decltype(&::mpv_stream_cb_add_ro) stream_cb_add_ro = nullptr;
};

// The library's functions, opened once (from any thread); null when libmpv cannot be opened
// or lacks one of them: then nothing plays.
const MpvLibrary* Mpv();

}  // namespace sonaro::media
