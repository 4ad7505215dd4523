#pragma once
// The main window's title for the inputs it shows.
#include <string>

#include "data/inputs.h"

namespace quorlane {

// "NAME - Quorlane", or "Quorlane" without a name (the working directory's files).
std::string WindowTitle(const InputFiles& inputs);

}  // namespace quorlane
