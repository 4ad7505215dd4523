// The main window's title: the name of what it shows, or the program's name alone.
#include <gtest/gtest.h>

#include "data/inputs.h"
#include "viewer/rules/window_title.h"

namespace quorlane {

namespace {

TEST(WindowTitle, NamesTheInputs) {
    const PathStyle W = PathStyle::Windows;
    EXPECT_EQ(WindowTitle(WorkingDirectoryInputs()), "Quorlane");
    EXPECT_EQ(WindowTitle(InputsOf("run42", true, W)), "run42 - Quorlane");
    EXPECT_EQ(WindowTitle(InputsOf("a/step_0017.dat", false, W)), "step_0017.dat - Quorlane");
}

}  // namespace

}  // namespace quorlane
