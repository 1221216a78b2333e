#include "core/shared_library.h"

#include <cstdio>
#include <string>

namespace sonaro::core {

void* OpenLibrary(std::initializer_list<const char*> names, const char* what) {
  std::string reasons;
  for (const char* name : names) {
    if (void* library = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return library;
    reasons += "\n  ";
    reasons += dlerror();  // names the file and why it failed
  }
  std::fprintf(stderr, "sonaro: %s cannot be opened:%s\n", what, reasons.c_str());
  return nullptr;
}

}  // namespace sonaro::core
