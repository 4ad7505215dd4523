// The window thread's part of a series window.
#include "viewer/series_window.h"

#include "common/names.h"
#include "quorlane.h"
#include "win/utf.h"

namespace quorlane {

namespace {

struct StepCommand {
    UINT id;
    SeriesKey key;
    const wchar_t* text;
    UINT vk;
};
// The Step menu: each command with its key, as the menu shows it.
const StepCommand kCommands[] = {
    {IDM_STEP_NEXT, SeriesKey::Next, L"&Next step\tRight", VK_RIGHT},
    {IDM_STEP_PREVIOUS, SeriesKey::Previous, L"&Previous step\tLeft", VK_LEFT},
    {IDM_STEP_FIRST, SeriesKey::First, L"&First step\tHome", VK_HOME},
    {IDM_STEP_LAST, SeriesKey::Last, L"&Last step\tEnd", VK_END},
    {IDM_STEP_PAGE_FORWARD, SeriesKey::PageForward, L"Forward a &tenth\tPage Down", VK_NEXT},
    {IDM_STEP_PAGE_BACK, SeriesKey::PageBack, L"&Back a tenth\tPage Up", VK_PRIOR},
    {IDM_STEP_PLAY, SeriesKey::PlayOrPause, L"Play or p&ause\tSpace", VK_SPACE},
};

// The Step menu, before Help.
void AddStepMenu(HWND window) {
    const HMENU bar = GetMenu(window);
    const HMENU step = CreatePopupMenu();
    if (bar == nullptr || step == nullptr) return;
    for (const StepCommand& c : kCommands) AppendMenuW(step, MF_STRING, c.id, c.text);
    AppendMenuW(step, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(step, MF_STRING, IDM_STEP_GO_TO, L"&Go to step...\tCtrl+G");
    InsertMenuW(bar, 0, MF_BYPOSITION | MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(step),
                L"&Step");
    DrawMenuBar(window);
}

// The Ctrl+G box: the count of steps in, the step chosen out.
struct StepQuestion {
    size_t count;
    size_t index;
};

INT_PTR CALLBACK GoToDlgProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dlg, DWLP_USER, lParam);
        const auto* q = reinterpret_cast<const StepQuestion*>(lParam);
        const std::string prompt = "Step (1 to " + std::to_string(q->count) + "):";
        SetDlgItemTextA(dlg, IDC_STEP_PROMPT, prompt.c_str());
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* q = reinterpret_cast<StepQuestion*>(GetWindowLongPtrW(dlg, DWLP_USER));
            wchar_t text[64] = {};
            GetDlgItemTextW(dlg, IDC_STEP_NUMBER, text, 64);
            const std::string told = ParseStepNumber(Utf8(text), q->count, q->index);
            if (told.empty())
                EndDialog(dlg, IDOK);
            else
                MessageBoxA(dlg, told.c_str(), kProgramName, MB_OK | MB_ICONEXCLAMATION);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dlg, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

int64_t SeriesClock() {
    return int64_t(GetTickCount64());
}

SeriesWindow::SeriesWindow(HWND window, HINSTANCE instance, std::unique_ptr<SeriesPlayer> player,
                           StepSettings settings, bool watch, std::vector<std::string> paths,
                           std::vector<SeriesStep> listed)
    : window_(window),
      instance_(instance),
      player_(std::move(player)),
      shown_(player_->Picture()),
      loader_(window, std::move(settings)),
      clock_(window) {
    AddStepMenu(window);
    if (watch) watch_ = std::make_unique<SeriesWatch>(window, std::move(paths), std::move(listed));
    Update();
}

SeriesWindow::~SeriesWindow() = default;

const LoadedStep& SeriesWindow::Picture() const {
    return static_cast<const LoadedStep&>(*player_->Picture());
}

void SeriesWindow::Act(SeriesKey key, int count) {
    for (int k = 0; k < count; ++k) player_->Key(key, SeriesClock());
    Update();
}

void SeriesWindow::AskForStep() {
    StepQuestion q{player_->Count(), player_->Target()};
    if (DialogBoxParamA(instance_, "GoToStepDlg", window_, GoToDlgProc,
                        reinterpret_cast<LPARAM>(&q)) != IDOK)
        return;
    player_->GoTo(q.index, SeriesClock());
    Update();
}

bool SeriesWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (msg) {
    case WM_KEYDOWN:
        if (wParam == 'G' && GetKeyState(VK_CONTROL) < 0) {
            AskForStep();
            return true;
        }
        for (const StepCommand& c : kCommands)
            if (c.vk == wParam) {
                Act(c.key);
                return true;
            }
        return false;
    case WM_MOUSEWHEEL: {
        const int notches = WheelNotches(wheel_, GET_WHEEL_DELTA_WPARAM(wParam));
        Act(notches > 0 ? SeriesKey::Previous : SeriesKey::Next, notches > 0 ? notches : -notches);
        return true;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDM_STEP_GO_TO) {
            AskForStep();
            return true;
        }
        for (const StepCommand& c : kCommands)
            if (c.id == LOWORD(wParam)) {
                Act(c.key);
                return true;
            }
        return false;
    case kPlayClockMessage:
        player_->Tick(SeriesClock());
        Update();
        return true;
    case kStepLoadedMessage:
        if (std::optional<StepLoader::Outcome> outcome = loader_.Take()) {
            if (outcome->result.ok)
                player_->Loaded(outcome->id, std::move(outcome->step), outcome->bytes,
                                SeriesClock());
            else if (stopping_)
                player_->Abandoned(outcome->id);
            else
                player_->Failed(outcome->id, outcome->result.message, SeriesClock());
            stopping_ = false;
            Update();
        }
        return true;
    case kRelistedMessage:
        if (watch_)
            if (std::optional<SeriesWatch::Listing> listing = watch_->Take()) {
                player_->Relisted(std::move(listing->steps), listing->result, SeriesClock());
                Update();
            }
        return true;
    }
    return false;
}

void SeriesWindow::Update() {
    if (std::optional<StepLoad> load = player_->NextLoad()) {
        loader_.Start(*load);
    } else if (!stopping_ && player_->ShouldAbandon()) {
        stopping_ = true;
        loader_.Stop();
    }
    if (player_->Picture() != shown_) {
        // Painted at once, before the title: the picture is what the user waits for.
        shown_ = player_->Picture();
        InvalidateRect(window_, nullptr, FALSE);
        UpdateWindow(window_);
    }
    std::string title = player_->Title();
    if (title != title_) {
        title_ = std::move(title);
        DefWindowProcW(window_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Utf16(title_).c_str()));
    }
    const int64_t wait = player_->Wait(SeriesClock());
    if (wait < 0)
        clock_.Cancel();
    else
        clock_.Set(wait);
}

}  // namespace quorlane
