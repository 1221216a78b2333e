#include "services/core/shared_library.h"

#include <cstdio>

namespace sonaro {

void* OpenLibrary(std::initializer_list<const char*> names, const char* what) {
  for (const char* name : names) {
    if (void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
  }
  std::fprintf(stderr, "sonaro: %s cannot be opened: %s\n", what, dlerror());
  return nullptr;
}

}  // namespace sonaro
