// Libraries opened when first needed rather than linked: each linked library and everything it
// brings along is loaded before main(), which delays the first painted window.
#pragma once

#include <dlfcn.h>

#include <initializer_list>

namespace sonaro::core {

// The first of names that opens (they stay open until the process ends); null, with the
// reason on stderr naming what, when none does.
void* OpenLibrary(std::initializer_list<const char*> names, const char* what);

// Sets function to the library's symbol name; whether it exists.
template <typename F>
bool Resolve(void* library, const char* name, F& function) {
  function = reinterpret_cast<F>(dlsym(library, name));
  return function != nullptr;
}

}  // namespace sonaro::core
