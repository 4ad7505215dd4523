#pragma once
// The inputs of an export and the files they are to write, checked before
// any input is read.
#include <string>
#include <vector>

#include "data/inputs.h"
#include "exporter/options/arguments.h"

namespace quorlane {

// One input of the command line and the file it is to write.
struct BatchInput {
    std::string path;     // as given
    InputFiles files;     // valid when failure is empty
    std::string output;   // empty when the path names nothing
    std::string failure;  // why the path names nothing
};

// Every input of `options` and its output into `inputs`; a usage error's
// text when an output's name is refused, two inputs would write one file or
// an output is an input's file, else empty.
std::string PrepareInputs(const ExportOptions& options, std::vector<BatchInput>& inputs);

}  // namespace quorlane
