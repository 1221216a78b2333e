// Where a station switch spends its time, for the player benchmark: with SONARO_STAGE_LOG
// naming a file, each stage is appended to it as "<CLOCK_MONOTONIC ns> <name>"; without it,
// nothing is done. Any thread may note a stage.
#pragma once

#include <string_view>

namespace sonaro::core {

void NoteStage(std::string_view name);

}  // namespace sonaro::core
