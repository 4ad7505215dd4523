// The thread that follows a series' folders.
#include "viewer/series_watch.h"

#include <algorithm>
#include <memory>
#include <set>

#include "common/paths.h"
#include "viewer/series_files.h"
#include "win/folder_watch.h"
#include "win/series_file_system.h"

namespace quorlane {

namespace {

// The folders the paths name: a folder itself, else the one the file or
// pattern lies in, each once, as "FOLDER\." (see file_watcher.cpp).
std::vector<std::string> FoldersOf(const std::vector<std::string>& paths,
                                   const SeriesFileSystem& fs) {
    std::vector<std::string> folders;
    std::set<std::string> seen;
    for (const std::string& path : paths) {
        std::string folder = FolderOf(path, kSystemPathStyle);
        if (fs.facts(path).kind == PathKind::Folder)
            folder = !path.empty() && IsPathSeparator(path.back(), kSystemPathStyle) ? path
                                                                                     : path + "\\";
        folder += ".";
        if (seen.insert(FoldAsciiCase(folder)).second) folders.push_back(folder);
    }
    return folders;
}

bool SameListing(const SeriesWatch::Listing& a, const SeriesWatch::Listing& b) {
    return a.result.ok == b.result.ok && a.result.message == b.result.message &&
           std::equal(a.steps.begin(), a.steps.end(), b.steps.begin(), b.steps.end(),
                      [](const SeriesStep& x, const SeriesStep& y) {
                          return x.files.gridPath == y.files.gridPath && x.grid == y.grid &&
                                 x.settings == y.settings;
                      });
}

// A look at the listing at least this often (milliseconds): every second (a
// notification lost, a folder that cannot be watched or was made anew), or
// for a long series whose folders are all watched every ten seconds, so
// that listing it does not take a core's tenth; and once the notifications
// have paused for kQuiet, at the latest kLatest after the first change not
// yet looked at.
constexpr DWORD kLookOften = 1000, kLookSeldom = 10000;
constexpr size_t kLongSeries = 10000;
constexpr DWORD kQuiet = 25;
constexpr DWORD kLatest = 200;

}  // namespace

SeriesWatch::SeriesWatch(HWND window, std::vector<std::string> paths,
                         std::vector<SeriesStep> listed)
    : window_(window),
      paths_(std::move(paths)),
      last_{LoadOk(), std::move(listed)},
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { Run(); }) {}

SeriesWatch::~SeriesWatch() {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
}

std::optional<SeriesWatch::Listing> SeriesWatch::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<Listing> taken = std::move(ready_);
    ready_.reset();
    return taken;
}

void SeriesWatch::Relist() {
    Listing fresh;
    try {
        fresh.result = ExpandSeries(paths_, SystemSeriesFileSystem(), fresh.steps);
    } catch (const std::exception&) {
        return;  // without memory for the listing the series stays as it is
    }
    if (SameListing(fresh, last_)) return;
    last_ = fresh;
    bool post;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        post = !ready_.has_value();
        ready_ = std::move(fresh);
    }
    if (post) PostMessageW(window_, kRelistedMessage, 0, 0);
}

void SeriesWatch::Run() {
    // Each folder watched, as many as one wait takes; the look every second
    // covers the others.
    std::vector<std::unique_ptr<FolderWatch>> watches;
    const std::vector<std::string> folders = FoldersOf(paths_, SystemSeriesFileSystem());
    for (const std::string& folder : folders) {
        if (watches.size() + 1 == MAXIMUM_WAIT_OBJECTS) break;
        watches.push_back(std::make_unique<FolderWatch>(folder));
    }
    std::vector<HANDLE> events = {stop_};
    std::vector<FolderWatch*> of = {nullptr};  // the watch of each event
    for (const auto& w : watches)
        if (w->Event() != nullptr) {
            events.push_back(w->Event());
            of.push_back(w.get());
        }
    const bool allWatched = events.size() == folders.size() + 1;
    const auto any = [](const std::string&) { return true; };
    bool changed = false;
    ULONGLONG looked = GetTickCount64(), firstChange = 0;
    for (;;) {
        const DWORD lookEvery =
            allWatched && last_.steps.size() > kLongSeries ? kLookSeldom : kLookOften;
        const ULONGLONG now = GetTickCount64();
        DWORD wait = lookEvery - DWORD(std::min<ULONGLONG>(now - looked, lookEvery));
        if (changed) {
            const ULONGLONG waited = std::min<ULONGLONG>(now - firstChange, kLatest);
            wait = std::min(kQuiet, DWORD(kLatest - waited));
        }
        const DWORD woke = WaitForMultipleObjects(DWORD(events.size()), events.data(), FALSE, wait);
        if (woke == WAIT_OBJECT_0) return;
        if (woke > WAIT_OBJECT_0 && woke < WAIT_OBJECT_0 + events.size()) {
            if (of[woke - WAIT_OBJECT_0]->Arrived(any) && !changed) {
                changed = true;
                firstChange = GetTickCount64();
            }
            // until the notifications pause, or at the latest kLatest after the first
            if (!changed || GetTickCount64() - firstChange < kLatest) continue;
        } else if (!changed && GetTickCount64() - looked < lookEvery) {
            continue;
        }
        for (const auto& w : watches) w->Renew();
        changed = false;
        looked = GetTickCount64();
        Relist();
    }
}

}  // namespace quorlane
