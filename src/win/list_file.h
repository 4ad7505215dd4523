#pragma once
// Reading an input list (--inputs FILE) for both programs.
#include <string>

#include "common/input_list.h"

namespace quorlane {

// Reads an input list, a file or standard input for "-", handing its bytes
// to `take` as they come, until it ends or `take` wants no more; false when
// it cannot be opened or read.
bool ReadListBytes(const std::string& file, const TakeBytes& take);

}  // namespace quorlane
