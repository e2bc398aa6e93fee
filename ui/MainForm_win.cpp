#include "ui/MainForm_win.h"

#include "contract/text.h"
#include "db/odbc_query.h"
#include "oblast/oblast.h"
#include "oblast/oblast_win.h"
#include "module/boundary_win.h"
#include "module/module_win.h"
#include "scoring/report.h"
#include "ui/control_ids.h"
#include "ui/main_layout.h"
#include "ui/plugin_state_win.h"

#include <commctrl.h>

#include <exception>
#include <optional>

namespace morvel {

namespace {

constexpr UINT kFlushTextMessage = WM_APP + 2;
constexpr UINT_PTR kAutoRecalcTimer = 1;
constexpr UINT kAutoRecalcMilliseconds = 5 * 60 * 1000;

HFONT MakeFont(int height, int dpi, BYTE charset, BYTE pitch, const char* face) {
    return CreateFontA(ui::Scale(height, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, charset,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, pitch, face);
}

HWND MakeControl(const char* className, const char* text, DWORD style, DWORD exStyle, HWND parent,
                 int id, HFONT font) {
    HWND hwnd = CreateWindowExA(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0,
                                parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                ModuleInstance(), nullptr);
    if (hwnd == nullptr) {
        throw Error(std::string("Cannot create control ") + className);
    }
    SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return hwnd;
}

} // namespace

TfmMainForm::TfmMainForm() = default;

TfmMainForm::~TfmMainForm() {
    ForgetMainWindow(this);
}

TfmMainForm* TfmMainForm::Create(const TQSOData* data, const ViewOpeners& openers) {
    auto* form = new TfmMainForm();
    try {
        form->Construct(data, openers);
    } catch (...) {
        if (form->Handle() != nullptr) {
            DestroyWindow(form->Handle()); // deletes the object at WM_NCDESTROY
        } else {
            delete form;
        }
        throw;
    }
    return form;
}

void TfmMainForm::Construct(const TQSOData* data, const ViewOpeners& openers) {
    CreateForm({ui::kMainFormClass, "Morvel Russia", ui::kMainLeft, ui::kMainTop,
                ui::kMainClientWidth, ui::kMainClientHeight});
    // From here on the exports and the window read the contact from the
    // module's copy of the record, never from the host's.
    CopyRecord(WorkingRecord, data);
    const std::string caption = WorkingRecord.CaptionPrefix.Str() + " in Morvel Russia";
    SetWindowTextA(Handle(), caption.c_str());
    // The session queries the log on the host's own connection, and reads
    // the oblast file beside the host program. A file that exists but cannot
    // be read throws, and Create destroys the half-built window.
    void* connection =
        reinterpret_cast<void*>(static_cast<std::uintptr_t>(WorkingRecord.ConnectionValue()));
    SessionPort& port = *this;
    const std::string hostProgram = HostProgramPath();
    m_session = std::make_unique<morvel::Session>(
        port, UserLocaleKeyEquality(), std::make_unique<odbc::OdbcLogQuery>(connection),
        LoadDomLines(WinFileSystem(), hostProgram), DomFilePath(hostProgram));
    m_session->SetOpeners(openers);
    m_storage.KeepCurrentBandIn(m_session->CurrentBand());
    ApplyChoices();
}

void TfmMainForm::MakeControls() {
    m_statistic = MakeControl(
        "EDIT", "", ES_MULTILINE | ES_WANTRETURN | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_TABSTOP,
        WS_EX_CLIENTEDGE, Handle(), ui::kStatisticTextId, m_memoFont.Get());
    Subclass(m_statistic, 1);
    m_panel = win::CreatePanel(Handle(), ui::kPanel1Id, ui::kPanelClass);
    m_recalcButton = MakeControl("BUTTON", "Recalc Statistic", BS_PUSHBUTTON | WS_TABSTOP, 0,
                                 m_panel, ui::kRecalcButtonId, m_formFont.Get());
    m_multipliersButton = MakeControl("BUTTON", "Multipliers", BS_PUSHBUTTON | WS_TABSTOP, 0,
                                      m_panel, ui::kMultipliersButtonId, m_formFont.Get());
    AddMenuItem(kMenuMultiplierCheck, "Multiplier check");
    AddMenuItem(kMenuAlwaysOnTop, "Always on top", true);
    AddMenuItem(kMenuRecalcEvery5Minutes, "Recalculate every 5 minutes", false);
}

void TfmMainForm::ApplyChoices() {
    ApplyOnTop(ui::Choice::MainOnTop, ui::ReadChoice(ui::Choice::MainOnTop), false);
    SetAutoRecalc(ui::ReadChoice(ui::Choice::RecalcEvery5Minutes), false);
}

void TfmMainForm::SetAutoRecalc(bool on, bool store) {
    if (on) {
        SetTimer(Handle(), kAutoRecalcTimer, kAutoRecalcMilliseconds, nullptr);
    } else {
        KillTimer(Handle(), kAutoRecalcTimer);
    }
    m_autoRecalc = on;
    CheckMenuItem(kMenuRecalcEvery5Minutes, on);
    if (store) {
        ui::WriteChoice(ui::Choice::RecalcEvery5Minutes, on);
    }
}

// The plug-in's items of the system menu; false for any other command.
bool TfmMainForm::OnMenuCommand(UINT command) {
    switch (command) {
    case kMenuMultiplierCheck:
        if (m_session != nullptr && m_session->Openers().check != nullptr) {
            m_session->Openers().check(*m_session);
        }
        return true;
    case kMenuAlwaysOnTop:
        ToggleOnTop(ui::Choice::MainOnTop);
        return true;
    case kMenuRecalcEvery5Minutes:
        SetAutoRecalc(!m_autoRecalc, true);
        return true;
    default:
        return false;
    }
}

void TfmMainForm::MakeFonts() {
    m_formFont.Reset(MakeFont(ui::kFormFontHeight, Dpi(), DEFAULT_CHARSET,
                              DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
    m_memoFont.Reset(MakeFont(ui::kMemoFontHeight, Dpi(), RUSSIAN_CHARSET, FIXED_PITCH | FF_MODERN,
                              "Courier New"));
    SendMessageA(Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(m_formFont.Get()), FALSE);
    for (HWND control : {m_recalcButton, m_multipliersButton}) {
        if (control != nullptr) {
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(m_formFont.Get()), TRUE);
        }
    }
    if (m_statistic != nullptr) {
        SendMessageA(m_statistic, WM_SETFONT, reinterpret_cast<WPARAM>(m_memoFont.Get()), TRUE);
    }
}

void TfmMainForm::LayOut() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const ui::MainLayout l = ui::LayOutMainForm(client.right, client.bottom, Dpi());
    Place(m_statistic, l.statistic);
    Place(m_panel, l.panel);
    Place(m_recalcButton, l.recalc);
    Place(m_multipliersButton, l.multipliers);
}

void TfmMainForm::ShowForm() {
    const morvel::Session::Busy busy(*m_session);
    if (IsWindowVisible(Handle())) {
        BringWindowToTop(Handle());
        return;
    }
    if (!m_session->BeginShow()) {
        return; // a _Run that arrived while the first show recalculates
    }
    const int showCmd = m_storage.Restore(Handle());
    FormShow();
    const morvel::Session::ShowOutcome outcome = m_session->EndShow();
    if (outcome.show && MainWindow == this && Handle() != nullptr) {
        // Shown without taking the activation from the logger, where the
        // operator types; no show command maximises without activating.
        ShowWindow(Handle(), showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNOACTIVATE);
        if (outcome.minimise) {
            ShowWindow(Handle(), SW_MINIMIZE);
        }
    }
}

// The show handler, by the name the form's designers gave it: a window going
// from hidden to shown recalculates from the log.
void TfmMainForm::FormShow() {
    m_session->RecalcStatistic(WorkingRecord);
}

void TfmMainForm::ScheduleRelease() {
    // From now on the multipliers window finds no state to read or store.
    m_session->MarkReleased();
    TForm::PostRelease();
}

void TfmMainForm::WriteSettings() {
    if (!Released() && Handle() != nullptr) {
        m_storage.Write(Handle());
    }
}

void TfmMainForm::ProcessMessages() {
    morvel::ProcessMessages();
}

void TfmMainForm::ShowFailure(std::string_view message) {
    morvel::ShowFailure(message);
}

void TfmMainForm::PostClose() {
    if (Handle() != nullptr) {
        PostMessageA(Handle(), WM_CLOSE, 0, 0);
    }
}

void TfmMainForm::PostRelease() {
    if (Handle() != nullptr) {
        TForm::PostRelease();
    }
}

void TfmMainForm::SetRecalcEnabled(bool enabled) {
    if (m_recalcButton != nullptr) {
        EnableWindow(m_recalcButton, enabled ? TRUE : FALSE);
    }
}

void TfmMainForm::SetStatisticText(const std::string& text) {
    m_pendingText = text;
    m_statisticStale = false;
    PostFlush();
}

void TfmMainForm::StatisticChanged() {
    m_statisticStale = true;
    PostFlush();
}

void TfmMainForm::ComposeStaleText() {
    if (const std::vector<TStatistic>* statistics = m_session ? m_session->StatList() : nullptr;
        m_statisticStale && statistics != nullptr) {
        m_pendingText = ShowStatistic(*statistics);
    }
    m_statisticStale = false;
}

void TfmMainForm::PostFlush() {
    if (!m_flushPosted && Handle() != nullptr) {
        m_flushPosted = PostMessageA(Handle(), kFlushTextMessage, 0, 0) != FALSE;
    }
    if (!m_flushPosted) {
        FlushStatisticText();
    }
}

void TfmMainForm::FlushStatisticText() {
    m_flushPosted = false;
    ComposeStaleText();
    if (!m_pendingText || m_statistic == nullptr) {
        return;
    }
    // An edit control ends its text at the first zero byte, so zero bytes
    // are replaced and the rest of the table still shows.
    std::string shown = std::move(*m_pendingText);
    m_pendingText.reset();
    for (char& c : shown) {
        if (c == '\0') {
            c = ' ';
        }
    }
    SetWindowTextA(m_statistic, shown.c_str());
}

std::optional<LRESULT> TfmMainForm::OnSubclassMessage(UINT_PTR, HWND, UINT message, WPARAM,
                                                      LPARAM) {
    switch (message) {
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_PAINT:
    case EM_GETLINE:
    case EM_GETLINECOUNT:
    case EM_LINELENGTH:
    case EM_LINEINDEX:
    case EM_GETHANDLE:
        FlushStatisticText();
        break;
    default:
        break;
    }
    return std::nullopt;
}

void TfmMainForm::OnCommand(int id, int code) {
    if (code != BN_CLICKED) {
        return;
    }
    if (id == ui::kRecalcButtonId) {
        m_session->RecalcStatistic(WorkingRecord);
    } else if (id == ui::kMultipliersButtonId && m_session != nullptr &&
               m_session->Openers().multipliers != nullptr) {
        m_session->Openers().multipliers(*m_session);
    }
}

void TfmMainForm::FormCloseQuery() {
    ComposeStaleText(); // the table as it stood stays readable
    if (m_session != nullptr) {
        m_session->DropState();
    }
}

void TfmMainForm::FormClose() {
    ShowWindow(Handle(), SW_HIDE);
    ScheduleRelease();
    ForgetMainWindow(this);
}

void TfmMainForm::OnDestroy() {
    m_storage.Save(Handle(), true);
    ForgetMainWindow(this);
    ComposeStaleText();
    // The multipliers window goes with the session it shows.
    m_session.reset();
}

// The close button minimises: the plug-in counts until the host releases it.
// A hidden window is first shown as _Run shows it.
void TfmMainForm::OnCloseButton() {
    if (!IsWindowVisible(Handle())) {
        if (m_session == nullptr || m_session->MinimiseAfterShow()) {
            return; // the first show minimises it
        }
        ShowForm();
        if (!IsWindowVisible(Handle())) {
            return; // released or closed meanwhile
        }
    }
    ShowWindow(Handle(), SW_MINIMIZE);
}

void TfmMainForm::OnClose() {
    if (m_session != nullptr && !m_session->CloseNow()) {
        return;
    }
    FormCloseQuery();
    m_storage.Save(Handle(), false);
    FormClose();
}

void TfmMainForm::OnRelease() {
    if (m_session != nullptr && !m_session->ReleaseNow()) {
        return;
    }
    DestroyWindow(Handle());
}

// The statistics text written after contacts: the module's own drawing only.
bool TfmMainForm::OrdinaryOwnMessage(UINT message) const {
    return message == kFlushTextMessage;
}

LRESULT TfmMainForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (FollowDpi(message, wParam, lParam)) {
        return 0;
    }
    switch (message) {
    case WM_SIZE:
        if (m_panel != nullptr) {
            LayOut();
        }
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            OnCloseButton();
            return 0;
        }
        if (OnMenuCommand(static_cast<UINT>(wParam & 0xFFF0))) {
            return 0;
        }
        break;
    case WM_TIMER:
        // Other positions' contacts counted without a hand on the button; a
        // recalculation under way lets this one pass.
        if (wParam == kAutoRecalcTimer && m_session != nullptr && !m_session->IsBusy() &&
            IsWindowVisible(Handle())) {
            m_session->RecalcStatistic(WorkingRecord);
        }
        return 0;
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_WINDOWPOSCHANGED:
        if (!Released()) {
            m_storage.Follow(Handle(), message);
        }
        break;
    case WM_CLOSE:
        OnClose();
        return 0;
    case kFlushTextMessage:
        FlushStatisticText();
        return 0;
    case kReleaseMessage:
        if (TakeRelease()) {
            OnRelease();
        }
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace morvel
