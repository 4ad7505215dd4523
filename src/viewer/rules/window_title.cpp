// The main window's title.
#include "viewer/rules/window_title.h"

std::string WindowTitle(const InputFiles& inputs) {
    return inputs.name.empty() ? "Quorlane" : inputs.name + " - Quorlane";
}
