// Linked into tests that look into the engine's own objects (views, pages, the media player):
// they use the engine built into them instead of loading the module, whose copies of the
// program's own engine types are not the test's.
#include "browser/engine.h"

namespace {
[[maybe_unused]] const bool kLinkedEngineUsed =
    (sonaro::browser::UseEngine(sonaro::browser::LinkedEngine()), true);
}  // namespace
