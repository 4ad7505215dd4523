// The client area of a main window of a given size.
#include "gdi/main_window_frame.h"

#include <algorithm>

namespace quorlane {

void MainWindowClientSize(const DisplaySettings& settings, int& width, int& height) {
    RECT frame = {0, 0, 0, 0};
    const BOOL hasMenu = kMainWindowMenu[0] != '\0';
    AdjustWindowRectEx(&frame, kMainWindowStyle, hasMenu, 0);
    // The window is made with these sizes as ints, as CreateWindowExA takes them.
    const long long w = static_cast<int>(settings.windowWidth) - (frame.right - frame.left);
    const long long h = static_cast<int>(settings.windowHeight) - (frame.bottom - frame.top);
    width = int(std::max(0LL, w));
    height = int(std::max(0LL, h));
}

}  // namespace quorlane
