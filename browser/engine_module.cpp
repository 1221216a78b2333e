// The entry point of the browser engine module; everything else in it stays local.
#include "browser/engine.h"

extern "C" __attribute__((visibility("default"))) const sonaro::browser::Engine*
sonaro_browser_engine() {
  return sonaro::browser::LinkedEngine();
}
