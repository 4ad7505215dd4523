// Reads the readout of a running viewer, for the end-to-end test of --probe:
//   read_status TITLE      the status bar of the main window called TITLE:
//                          "bar HEIGHT", then "part K TEXT" for each part
//   read_status --clipboard   the clipboard's text: "clipboard TEXT"
// Texts are printed in UTF-8. The status bar belongs to another process, so
// its texts are read through a buffer in that process's memory.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintUtf8(const char* label, const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(size_t(n > 0 ? n : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &utf8[0], n, nullptr, nullptr);
    std::printf("%s%s\n", label, utf8.c_str());
}

int Clipboard() {
    if (!OpenClipboard(nullptr)) return 1;
    int status = 1;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* text = static_cast<const wchar_t*>(GlobalLock(data))) {
            PrintUtf8("clipboard ", text);
            GlobalUnlock(data);
            status = 0;
        }
    }
    CloseClipboard();
    return status;
}

int StatusBar(const wchar_t* title) {
    const HWND window = FindWindowW(L"QuorlaneClass", title);
    const HWND bar = window ? FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr) : nullptr;
    if (bar == nullptr) {
        std::fprintf(stderr, "no status bar\n");
        return 1;
    }
    RECT r;
    GetWindowRect(bar, &r);
    std::printf("bar %ld\n", long(r.bottom - r.top));
    DWORD pid = 0;
    GetWindowThreadProcessId(bar, &pid);
    const HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process == nullptr) return 1;
    const size_t room = 4096;
    void* remote =
        VirtualAllocEx(process, nullptr, room * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
    const int parts = int(SendMessageW(bar, SB_GETPARTS, 0, 0));
    std::vector<wchar_t> text(room);
    for (int k = 0; k < parts && remote != nullptr; ++k) {
        const LRESULT length = SendMessageW(bar, SB_GETTEXTLENGTHW, WPARAM(k), 0);
        if (LOWORD(length) >= room) return 1;
        SendMessageW(bar, SB_GETTEXTW, WPARAM(k), reinterpret_cast<LPARAM>(remote));
        SIZE_T read = 0;
        ReadProcessMemory(process, remote, text.data(), room * sizeof(wchar_t), &read);
        text[LOWORD(length)] = L'\0';
        const std::string label = "part " + std::to_string(k) + " ";
        PrintUtf8(label.c_str(), text.data());
    }
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"--clipboard") return Clipboard();
    if (argc == 2) return StatusBar(argv[1]);
    std::fprintf(stderr, "usage: read_status TITLE | --clipboard\n");
    return 2;
}
