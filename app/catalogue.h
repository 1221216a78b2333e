// The six windows of the program and every control in them, as data.
#pragma once

#include <span>

#include "ui/catalogue_types.h"

namespace sonaro::app {

std::span<const ui::WindowSpec> Catalogue();

}  // namespace sonaro::app
