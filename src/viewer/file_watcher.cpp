// The watch mode's thread: folder notifications, the stamp check and the loads.
#include "viewer/file_watcher.h"

#include <optional>
#include <utility>
#include <vector>

#include "common/failure.h"
#include "common/paths.h"
#include "common/worker_pool.h"
#include "data/bytesource.h"
#include "data/grid_loader.h"
#include "gdi/utf.h"

using namespace quorlane;

namespace {

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Utf16(path).c_str(), GetFileExInfoStandard, &data)) return stamp;
    stamp.exists = true;
    stamp.size = (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    stamp.writeTime =
        (uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return stamp;
}

// The changes a folder's notifications report: names written, made, removed
// or renamed, and sizes and write times changed.
constexpr DWORD kChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

// Which folder a path opens: its volume and its index there; none when it
// opens nothing.
using FolderIdentity = std::optional<std::pair<DWORD, uint64_t>>;

FolderIdentity IdentityOf(HANDLE folder) {
    BY_HANDLE_FILE_INFORMATION info;
    if (folder == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(folder, &info))
        return std::nullopt;
    return std::make_pair(info.dwVolumeSerialNumber,
                          (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
}

// The folder of the two files, opened for its change notifications; the
// schedule's once-a-second check stands in where it cannot be. A folder that
// is renamed away or removed takes its handle with it, so the folder of that
// name is watched again once it is there anew.
class FolderChanges {
  public:
    explicit FolderChanges(const InputFiles& inputs)
        // The folder as "." inside it: the system opens "run42\." and "."
        // where "run42\" (a separator at the end) may be refused.
        : inputs_(inputs),
          folderPath_(Utf16(FolderOf(inputs.gridPath, kSystemPathStyle) + ".")),
          event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        overlapped_.hEvent = event_;
        Open();
    }
    ~FolderChanges() {
        Close();
        if (event_ != nullptr) CloseHandle(event_);
    }
    FolderChanges(const FolderChanges&) = delete;
    FolderChanges& operator=(const FolderChanges&) = delete;

    // Set when notifications came (a handle that never is without them).
    HANDLE Event() const { return event_; }

    // Whether the notifications that came name either file (or were too
    // many to keep, which may hide them, or the handle says that its folder
    // is gone); asks for the next ones.
    bool Arrived() {
        DWORD n = 0;
        const bool got = asked_ && GetOverlappedResult(handle_, &overlapped_, &n, FALSE);
        const DWORD error = got ? ERROR_SUCCESS : GetLastError();
        if (asked_ && error != ERROR_SUCCESS && error != ERROR_NOTIFY_ENUM_DIR) {
            Close();  // gone: watched again once the check finds it
            return true;
        }
        asked_ = false;
        bool ours = (got && n == 0) || error == ERROR_NOTIFY_ENUM_DIR;  // the folder lost count
        for (size_t at = 0; got && at + sizeof(FILE_NOTIFY_INFORMATION) <= n;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(
                reinterpret_cast<const char*>(buffer_.data()) + at);  // offsets count bytes
            ours =
                ours || NamesAnInputFile(
                            Utf8(info->FileName, info->FileNameLength / sizeof(wchar_t)), inputs_);
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
        Ask();
        return ours;
    }

    // Watches the folder of that name again when it is not the one watched
    // (made anew after a rename or a removal) or none is; at each check.
    void Renew() {
        const HANDLE now = CreateFileW(folderPath_.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        const FolderIdentity found = IdentityOf(now);
        if (now != INVALID_HANDLE_VALUE) CloseHandle(now);
        if (found == watched_ && handle_ != INVALID_HANDLE_VALUE) return;
        Close();
        if (found) Open();
    }

  private:
    static constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

    void Open() {
        handle_ =
            CreateFileW(folderPath_.c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr, OPEN_EXISTING,
                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
        watched_ = IdentityOf(handle_);
        Ask();
    }
    void Close() {
        if (asked_) {
            CancelIoEx(handle_, &overlapped_);
            DWORD n = 0;
            GetOverlappedResult(handle_, &overlapped_, &n, TRUE);
            asked_ = false;
        }
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        watched_.reset();
        if (event_ != nullptr) ResetEvent(event_);
    }
    void Ask() {
        if (event_ != nullptr) ResetEvent(event_);
        asked_ = handle_ != INVALID_HANDLE_VALUE && event_ != nullptr &&
                 ReadDirectoryChangesW(handle_, buffer_.data(), DWORD(buffer_.size() * 4), FALSE,
                                       kChanges, nullptr, &overlapped_, nullptr);
    }

    const InputFiles& inputs_;
    const std::wstring folderPath_;  // the folder as "." inside it
    const HANDLE event_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    FolderIdentity watched_;  // of handle_
    OVERLAPPED overlapped_ = {};
    std::vector<DWORD> buffer_ = std::vector<DWORD>(16384);  // 64 KB, DWORD-aligned
    bool asked_ = false;
};

int64_t Now() {
    return int64_t(GetTickCount64());
}

// A file read while its writer may replace it: opened with every sharing
// allowed, deleting included, so that a writer that removes it is not
// refused while a load reads it (the handle goes on reading it whole).
class SharedFile final : public ByteSource {
  public:
    explicit SharedFile(const std::string& path)
        : file_(CreateFileW(Utf16(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)) {}
    ~SharedFile() override {
        if (Opened()) CloseHandle(file_);
    }
    SharedFile(const SharedFile&) = delete;
    SharedFile& operator=(const SharedFile&) = delete;

    bool Opened() const { return file_ != INVALID_HANDLE_VALUE; }
    size_t Read(char* buf, size_t n) override {
        DWORD got = 0;
        if (!ReadFile(file_, buf, DWORD(std::min<size_t>(n, size_t(1) << 30)), &got, nullptr))
            failed_ = true;
        return failed_ ? 0 : got;
    }
    bool Failed() const override { return failed_; }

  private:
    HANDLE file_;
    bool failed_ = false;
};

}  // namespace

LoadResult LoadInputsShared(const InputFiles& inputs, WorkerPool& pool, Grid& grid,
                            DisplaySettings& settings, const GridLoadOptions& options,
                            SettingsOpened settingsOpened) {
    SharedFile gridFile(inputs.gridPath);
    if (!gridFile.Opened()) return LoadFailure(kCannotOpen, inputs.gridPath);
    std::optional<SharedFile> settingsFile;
    if (settingsOpened == SettingsOpened::BeforeTheGrid) {
        settingsFile.emplace(inputs.settingsPath);
        if (!settingsFile->Opened()) return LoadFailure(kCannotOpen, inputs.settingsPath);
    }
    const LoadResult r = LoadGridFrom(grid, gridFile, pool, options, inputs.gridPath);
    if (!r.ok) return r;
    if (!settingsFile) settingsFile.emplace(inputs.settingsPath);
    if (!settingsFile->Opened()) return LoadFailure(kCannotOpen, inputs.settingsPath);
    return LoadSettingsFrom(settings, *settingsFile, inputs.settingsPath);
}

InputStamps ReadStamps(const InputFiles& inputs) {
    return {StampOf(inputs.gridPath), StampOf(inputs.settingsPath)};
}

FileWatcher::FileWatcher(HWND window, const InputFiles& inputs, const InputStamps& loaded)
    : window_(window),
      inputs_(inputs),
      loaded_(loaded),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      thread_([this] { Run(); }) {}

FileWatcher::~FileWatcher() {
    stop_ = true;
    SetEvent(wake_);
    thread_.join();
    CloseHandle(wake_);
}

std::unique_ptr<Reload> FileWatcher::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(ready_);
}

void FileWatcher::Taken() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handing_ = false;
    }
    SetEvent(wake_);
}

void FileWatcher::Run() {
    // No exception may end the thread (and with it the program): a failure
    // of its own ends the watch, and the title says why.
    std::string reason;
    try {
        Follow();
        return;
    } catch (const std::exception& e) {
        reason = ExceptionReason(e);
    } catch (...) {
        reason = kUnknownFailure;
    }
    try {
        auto reload = std::make_unique<Reload>();
        reload->result = {false, "watching stopped: " + reason};
        Hand(std::move(reload));
    } catch (...) {
        // without memory even for that, the title stays as it was
    }
}

bool FileWatcher::Hand(std::unique_ptr<Reload> reload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_ = std::move(reload);
        handing_ = true;
    }
    return PostMessageW(window_, kReloadedMessage, 0, 0) != 0;  // false: the window is gone
}

void FileWatcher::Follow() {
    FolderChanges changes(inputs_);
    ReloadSchedule schedule(Now(), loaded_);
    WorkerPool pool(WorkerPool::CoreThreads());
    GridTextBuffer text;  // kept from one load to the next
    while (!stop_) {
        const int64_t now = Now();
        if (schedule.CheckDue(now)) {
            changes.Renew();  // before the stamps: a change after them is notified
            schedule.Checked(now, ReadStamps(inputs_));
        }
        bool handing;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handing = handing_;
        }
        if (!handing && schedule.LoadDue(now)) {
            schedule.LoadStarted(ReadStamps(inputs_));
            auto reload = std::make_unique<Reload>();
            GridLoadOptions options;
            options.buffer = &text;
            options.stop = &stop_;
            try {
                reload->result = LoadInputsShared(inputs_, pool, reload->grid, reload->settings,
                                                  options, SettingsOpened::BeforeTheGrid);
                if (reload->result.ok)
                    reload->painter = std::make_unique<FieldRowPainter>(reload->settings);
            } catch (const std::exception& e) {
                reload->result = {false, ExceptionReason(e)};
            }
            if (stop_) break;
            schedule.LoadFinished(reload->result);
            if (!reload->result.ok) reload->grid = Grid();
            if (!Hand(std::move(reload))) break;
            continue;
        }
        // While an outcome is with the window only the check and the
        // notifications go on; the wake event ends the wait once it is taken.
        const HANDLE events[2] = {wake_, changes.Event()};
        const DWORD wait = DWORD(handing && schedule.LoadDue(now)
                                     ? INFINITE
                                     : std::min<int64_t>(schedule.Wait(now), INT32_MAX));
        const DWORD woke =
            WaitForMultipleObjects(events[1] != nullptr ? 2 : 1, events, FALSE, wait);
        if (woke == WAIT_OBJECT_0 + 1 && changes.Arrived()) schedule.Notified(Now());
    }
}
