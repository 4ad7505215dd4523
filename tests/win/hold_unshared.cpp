// A writer that keeps a new step to itself for a while, for the watch test:
//   hold_unshared PATH SOURCE MS
// writes the bytes of SOURCE to PATH through a handle that shares nothing,
// then keeps it open for MS milliseconds before it closes it. Closing changes
// neither the file's size nor its write time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: hold_unshared PATH SOURCE MS\n");
        return 2;
    }
    std::vector<char> bytes;
    if (FILE* source = std::fopen(argv[2], "rb")) {
        char chunk[65536];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, source)) > 0;)
            bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(source);
    }
    const HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("written\n");
    std::fflush(stdout);
    Sleep(DWORD(std::atoi(argv[3])));
    CloseHandle(file);
    return 0;
}
