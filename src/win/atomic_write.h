#pragma once
// A file written whole or not at all: written under a temporary name of its
// own beside the final one and renamed into place, so that a file of the
// final name is always whole.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

namespace quorlane {

// Writes `size` bytes to `file`: S_OK, or why not (a write cut short is a
// full disk).
HRESULT WriteAll(HANDLE file, const void* data, size_t size);

// What a file is written as.
struct AtomicWrite {
    std::string path;      // the final name (UTF-8)
    bool replace = false;  // whether a file of that name is replaced
    // The temporary name of the k-th try (0, 1, ...) beside the final one.
    std::function<std::string(unsigned k)> temporaryPath;
    // Whether the final name is longer than file systems hold: a rename to
    // it that is refused while no file is there under it is then one of a
    // name too long.
    bool nameTooLong = false;
    // Whether others may open the temporary file while it is written (a
    // program the writer starts that writes it by its name).
    bool shared = false;
};

enum class AtomicWriteOutcome { Written, Exists, NameTooLong, Stopped, Failed };

// Makes the temporary file (new, so that no other writer, in this process or
// another, has it), lets `write` fill it (S_OK, E_ABORT when it was stopped,
// else why it failed; a std::bad_alloc is E_OUTOFMEMORY) and renames it to
// the final name. A system may cut a name it cannot hold short instead of
// refusing it (Wine on Linux does): the file must be there under the name as
// written, else the name is too long. Unless Written, no file of the final
// name is made or changed and no temporary file is left; on Failed, `error`
// says why.
AtomicWriteOutcome WriteAtomically(const AtomicWrite& how,
                                   const std::function<HRESULT(HANDLE file)>& write,
                                   HRESULT& error);

}  // namespace quorlane
