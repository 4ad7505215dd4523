#pragma once
// A folder's change notifications: which names in it were written, made,
// removed or renamed, or changed size or write time. It knows nothing of what
// the names are for: its owner waits on its event and asks whether any name
// that came matters.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "win/file_facts.h"

namespace quorlane {

class FolderWatch {
  public:
    // Watches the folder `folder` (UTF-8) opens, when it opens one. A folder
    // that is renamed away or removed takes its handle with it; Renew
    // watches the folder of that name again once it is there anew.
    explicit FolderWatch(const std::string& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Set when notifications came (null when it cannot be made: then none
    // ever come).
    HANDLE Event() const { return event_; }

    // Once the event is set: whether `matters` said true of a name that
    // changed (a name within the folder), or the notifications were too
    // many to keep (which may hide such a name), or the folder is gone.
    // Asks for the next notifications.
    bool Arrived(const std::function<bool(const std::string& name)>& matters);

    // Watches the folder of that name again when it is not the one watched
    // (made anew after a rename or a removal) or none is.
    void Renew();

  private:
    void Open();
    void Close();
    void Ask();

    const std::wstring folder_;
    const HANDLE event_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::optional<PathIdentity> watched_;  // of handle_
    OVERLAPPED overlapped_ = {};
    std::vector<DWORD> buffer_ = std::vector<DWORD>(16384);  // 64 KB, DWORD-aligned
    bool asked_ = false;
};

}  // namespace quorlane
