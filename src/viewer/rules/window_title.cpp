// The main window's title.
#include "viewer/rules/window_title.h"

#include "common/names.h"

std::string WindowTitle(const InputFiles& inputs) {
    return inputs.name.empty() ? kProgramName : inputs.name + " - " + kProgramName;
}
