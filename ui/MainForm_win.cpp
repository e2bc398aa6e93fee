#include "ui/MainForm_win.h"

#include "contract/text.h"
#include "module/module_win.h"
#include "scoring/report.h"
#include "ui/control_ids.h"
#include "ui/main_layout.h"

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

TfmMainForm::TfmMainForm(Session& session)
    : TForm("TfmMainForm", true, ui::Choice::MainOnTop), m_session(session) {}

TfmMainForm::~TfmMainForm() = default;

TfmMainForm& TfmMainForm::Create(Session& session) {
    auto* form = new TfmMainForm(session);
    CreateOrDelete(form, {ui::kMainFormClass, "Morvel Russia", ui::kMainLeft, ui::kMainTop,
                          ui::kMainClientWidth, ui::kMainClientHeight});
    const std::string caption = session.WorkingRecord().CaptionPrefix.Str() + " in Morvel Russia";
    SetWindowTextA(form->Handle(), caption.c_str());
    form->m_storage.KeepCurrentBandIn(session.CurrentBand());
    form->ApplyChoices();
    return *form;
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
        m_session.OpenCheck(*this);
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

std::uintptr_t TfmMainForm::WindowHandle() const {
    return reinterpret_cast<std::uintptr_t>(Handle());
}

bool TfmMainForm::Visible() const {
    return IsWindowVisible(Handle()) != FALSE;
}

void TfmMainForm::BringToTop() {
    BringWindowToTop(Handle());
}

bool TfmMainForm::RestorePlacement() {
    return m_storage.Restore(Handle()) == SW_SHOWMAXIMIZED;
}

void TfmMainForm::Show(bool maximised, bool minimise) {
    // Shown without taking the activation from the logger, where the
    // operator types; no show command maximises without activating.
    ShowWindow(Handle(), maximised ? SW_SHOWMAXIMIZED : SW_SHOWNOACTIVATE);
    if (minimise) {
        Minimise();
    }
}

void TfmMainForm::Minimise() {
    ShowWindow(Handle(), SW_MINIMIZE);
}

void TfmMainForm::WriteSettings() {
    m_storage.Write(Handle());
}

void TfmMainForm::Close() {
    ComposeStaleText(); // the table as it stood stays readable
    m_storage.Save(Handle(), false);
    ShowWindow(Handle(), SW_HIDE);
}

void TfmMainForm::PostClose() {
    PostMessageA(Handle(), WM_CLOSE, 0, 0);
}

void TfmMainForm::PostDestroy() {
    TForm::PostDestroy();
}

void TfmMainForm::End() {
    DestroyWindow(Handle());
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
    if (const std::vector<TStatistic>* statistics = m_session.StatList();
        m_statisticStale && statistics != nullptr) {
        m_pendingText = ShowStatistic(*statistics);
    }
    m_statisticStale = false;
}

void TfmMainForm::PostFlush() {
    PostOnce(kFlushTextMessage, m_flushPosted, [this] { FlushStatisticText(); });
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
        m_session.RecalcStatistic(*this);
    } else if (id == ui::kMultipliersButtonId) {
        m_session.OpenMultipliers(*this); // btnOBL1Click
    }
}

void TfmMainForm::OnClose() {
    m_session.CloseArrived(*this);
}

void TfmMainForm::OnDestroyMessage() {
    m_session.DestroyArrived(*this);
}

void TfmMainForm::OnDestroy() {
    ComposeStaleText();
    // The views and the state go with the main window.
    m_session.MainEnded(*this);
}

// The statistics text written after contacts: the module's own drawing only.
bool TfmMainForm::OrdinaryOwnMessage(UINT message) const {
    return message == kFlushTextMessage;
}

LRESULT TfmMainForm::FormMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            // The close button minimises: the plug-in counts until the host
            // releases it.
            m_session.CloseButton(*this);
            return 0;
        }
        if (OnMenuCommand(static_cast<UINT>(wParam & 0xFFF0))) {
            return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kAutoRecalcTimer) {
            m_session.AutoRecalc(*this);
        }
        return 0;
    case kFlushTextMessage:
        FlushStatisticText();
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace morvel
