#include "browser/mpv_library.h"

#include <cstdio>

#include "services/core/shared_library.h"

namespace sonaro::browser {

namespace {

const MpvLibrary* Open() {
  // The current ABI first (its functions are the same in both); the development link last.
  void* library = OpenLibrary({"libmpv.so.2", "libmpv.so.1", "libmpv.so"}, "libmpv");
  if (!library) return nullptr;
  static MpvLibrary mpv;
  const bool complete = Resolve(library, "mpv_create", mpv.create) &&
                        Resolve(library, "mpv_initialize", mpv.initialize) &&
                        Resolve(library, "mpv_terminate_destroy", mpv.terminate_destroy) &&
                        Resolve(library, "mpv_set_option_string", mpv.set_option_string) &&
                        Resolve(library, "mpv_command_async", mpv.command_async) &&
                        Resolve(library, "mpv_command_ret", mpv.command_ret) &&
                        Resolve(library, "mpv_free_node_contents", mpv.free_node_contents) &&
                        Resolve(library, "mpv_get_property", mpv.get_property) &&
                        Resolve(library, "mpv_wait_event", mpv.wait_event) &&
                        Resolve(library, "mpv_wakeup", mpv.wakeup) &&
                        Resolve(library, "mpv_stream_cb_add_ro", mpv.stream_cb_add_ro);
  if (!complete) {
    std::fprintf(stderr, "sonaro: the libmpv found lacks a function the player needs\n");
    return nullptr;
  }
  return &mpv;  // the library stays loaded until the process ends
}

}  // namespace

const MpvLibrary* Mpv() {
  static const MpvLibrary* const library = Open();
  return library;
}

}  // namespace sonaro::browser
