// The main window's title.
#include "viewer/rules/window_title.h"

#include "common/names.h"

namespace quorlane {

std::string WindowTitle(const InputFiles& inputs) {
    return inputs.name.empty() ? kProgramName : inputs.name + " - " + kProgramName;
}

}  // namespace quorlane
