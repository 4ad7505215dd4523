// An ffmpeg that fails part of the way through, for the movie test: reads
// about two frames of its standard input, says why it stops on standard error
// as ffmpeg would, and ends with status 3, the rest of the frames unread.
#include <windows.h>

#include <cstdio>

int main() {
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    static char chunk[65536];
    DWORD got = 0;
    for (size_t total = 0;
         total < 2 * 632 * 434 * 4 && ReadFile(in, chunk, sizeof chunk, &got, nullptr) && got > 0;)
        total += got;
    std::fprintf(stderr, "[libx264 @ 0000] frame 2: not enough room on the device\n");
    std::fprintf(stderr, "Conversion failed!\n");
    return 3;
}
