// The main window's title.
#include "data/window_title.h"

std::string WindowTitle(const InputFiles& inputs) {
    return inputs.name.empty() ? "Quorlane" : inputs.name + " - Quorlane";
}
