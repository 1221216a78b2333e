#include "media/mpv_library.h"

#include <cstdio>

#include "core/shared_library.h"

namespace sonaro::media {

namespace {

const MpvLibrary* Open() {
  // The current ABI first (its functions are the same in both); the development link last.
  void* library = core::OpenLibrary({"libmpv.so.2", "libmpv.so.1", "libmpv.so"}, "libmpv");
  if (!library) return nullptr;
  static MpvLibrary mpv;
  const bool complete =
      core::Resolve(library, "mpv_create", mpv.create) &&
      core::Resolve(library, "mpv_initialize", mpv.initialize) &&
      core::Resolve(library, "mpv_terminate_destroy", mpv.terminate_destroy) &&
      core::Resolve(library, "mpv_set_option_string", mpv.set_option_string) &&
      core::Resolve(library, "mpv_command_async", mpv.command_async) &&
      core::Resolve(library, "mpv_command_ret", mpv.command_ret) &&
      core::Resolve(library, "mpv_free_node_contents", mpv.free_node_contents) &&
      core::Resolve(library, "mpv_get_property", mpv.get_property) &&
      core::Resolve(library, "mpv_get_property_string", mpv.get_property_string) &&
      core::Resolve(library, "mpv_set_property_string", mpv.set_property_string) &&
      core::Resolve(library, "mpv_observe_property", mpv.observe_property) &&
      core::Resolve(library, "mpv_free", mpv.free) &&
      core::Resolve(library, "mpv_wait_event", mpv.wait_event) &&
      core::Resolve(library, "mpv_wakeup", mpv.wakeup) &&
      core::Resolve(library, "mpv_stream_cb_add_ro", mpv.stream_cb_add_ro);
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

}  // namespace sonaro::media
