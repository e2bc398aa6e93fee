#include "ui/multiplier_check_win.h"

#include "contract/text.h"
#include "module/module_win.h"
#include "session/bands.h"
#include "ui/control_ids.h"
#include "ui/main_layout.h"
#include "ui/multiplier_check_layout.h"
#include "ui/win/look_win.h"
#include "ui/win/params_win.h"
#include "ui/win/window_base.h"

#include <algorithm>
#include <cstring>

namespace morvel {

namespace {

// Posted after contacts and a station typed: what changed is drawn.
constexpr UINT kRefreshMessage = WM_APP + 4;
// The rate line is made anew once a minute, so that it falls in a quiet
// period too (contacts and a station typed make it anew at once).
constexpr UINT_PTR kRateTimer = 1;
constexpr UINT kRateTimerMilliseconds = 60'000;
// The colours tell apart by lightness as well as by hue, so that they stay
// distinct for the common colour-vision deficiencies: worked cells dark blue,
// the cells still needed on the emphasised band dark orange (3.8:1 against
// the white of the other needed cells, 3.4:1 against the window), alerts
// black on yellow or white on dark red and purple.
constexpr COLORREF kWorkedFill = RGB(0, 0, 255);
constexpr COLORREF kNeededFill = RGB(255, 255, 255);
constexpr COLORREF kEmphasisFill = RGB(204, 102, 0);
constexpr COLORREF kEmphasisText = RGB(255, 255, 255);
constexpr COLORREF kFrame = RGB(160, 160, 160);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kSignFill = RGB(255, 221, 0);
constexpr COLORREF kTypedFrame = RGB(0, 0, 0);

// Tahoma has a bold face of its own at every size (MS Sans Serif's is made up
// by thickening at 8 points).
HFONT CheckFont(int dpi, bool bold) {
    return CreateFontA(ui::Scale(-11, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Tahoma");
}

void Fill(HDC dc, const ui::Rect& r, COLORREF colour) {
    SetBkColor(dc, colour);
    const RECT rect{r.left, r.top, r.right, r.bottom};
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Text(HDC dc, const ui::Rect& r, const std::string& text, UINT format) {
    RECT rect{r.left, r.top, r.right, r.bottom};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

} // namespace

// The grid: a child window of its own class, drawn from the form's CheckGrid;
// it scrolls its rows, and its text is the grid's content (for readers of the
// window, screen readers and the tests among them).
class TfmMultCheck::Grid final : public win::WindowBase {
public:
    explicit Grid(TfmMultCheck& form) : m_form(form) {}

    void Create(HWND parent) {
        RegisterWindowClass(ui::kCheckGridClass, nullptr);
        CreateHandle(0, ui::kCheckGridClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL, 0, 0, 0, 0,
                     parent);
        SetWindowLongPtrA(Handle(), GWLP_ID, ui::kCheckGridId);
    }

    ui::CheckGridLayout Layout() const {
        RECT client{};
        GetClientRect(Handle(), &client);
        return ui::CheckGridLayout(client.right, client.bottom, m_form.Dpi(), Rows());
    }

    void InvalidateCell(std::size_t row, Band band) {
        const ui::CheckGridLayout layout = Layout();
        if (const auto r = layout.CellRect(row, band, m_scroll)) {
            const RECT rect{r->left, r->top, r->right, r->bottom};
            InvalidateRect(Handle(), &rect, FALSE);
        }
        InvalidateStrip(layout);
    }

    void InvalidateStrip(const ui::CheckGridLayout& layout) {
        RECT client{};
        GetClientRect(Handle(), &client);
        const RECT strip{0, 0, client.right, layout.StripHeight()};
        InvalidateRect(Handle(), &strip, FALSE);
    }

    void InvalidateAll() {
        UpdateScrollRange();
        InvalidateRect(Handle(), nullptr, FALSE);
    }

    // The row scrolled into view (the typed station's).
    void ShowRow(std::size_t row) { ScrollTo(Layout().ScrollFor(row, m_scroll)); }

    // 0 without a typed station's row, 1 when it is in view, 2 when not.
    LRESULT TypedRowInView() const {
        if (!m_form.m_typedRow) {
            return 0;
        }
        return Layout().RowRect(*m_form.m_typedRow, m_scroll) ? 1 : 2;
    }

    // The grid as text: the strip's three lines, then a line a code with X for
    // a worked band and . for a needed one; a band drawn emphasised is marked *.
    std::string Content() const {
        const CheckGrid* grid = m_form.m_grid.get();
        const PerBand<std::int32_t> dxcc = m_form.Dxcc();
        std::string band = "Band";
        std::string obl = "OBL";
        std::string dx = "DXCC";
        for (const Band b : AllBands) {
            band += "\t" + std::string(b.Text()) + (b == m_form.m_emphasised ? "*" : "");
            obl += "\t" + WorkedOfTotal(b);
            dx += "\t" + std::to_string(dxcc[b]);
        }
        std::string text = band + "\r\n" + obl + "\r\n" + dx + "\r\n";
        if (grid == nullptr || grid->Codes().empty()) {
            return text + m_form.NoCodesText() + "\r\n";
        }
        for (std::size_t row = 0; row < grid->Codes().size(); ++row) {
            text += grid->Codes()[row];
            for (const Band b : AllBands) {
                text += grid->Worked(row, b) ? "\tX" : "\t.";
            }
            text += "\r\n";
        }
        return text;
    }

private:
    std::size_t Rows() const { return m_form.m_grid ? m_form.m_grid->Codes().size() : 0; }

    // "54/85"; without codes to count, why not.
    std::string WorkedOfTotal(Band band) const {
        const CheckGrid* grid = m_form.m_grid.get();
        const std::vector<std::string>* lines = m_form.m_session.DomLines();
        if (grid == nullptr || lines == nullptr) {
            return "-";
        }
        if (grid->Codes().empty()) {
            return lines->empty() ? "no oblast file" : "no codes";
        }
        return std::to_string(grid->WorkedOn(band)) + "/" + std::to_string(grid->Codes().size());
    }

    void UpdateScrollRange() {
        const ui::CheckGridLayout layout = Layout();
        m_scroll = std::min(m_scroll, layout.MaxScroll());
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = static_cast<int>(layout.RowsPerBlock() > 0 ? layout.RowsPerBlock() - 1 : 0);
        info.nPage = static_cast<UINT>(layout.VisibleRows());
        info.nPos = static_cast<int>(m_scroll);
        SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
    }

    void ScrollTo(std::size_t scroll) {
        const ui::CheckGridLayout layout = Layout();
        scroll = std::min(scroll, layout.MaxScroll());
        if (scroll != m_scroll) {
            m_scroll = scroll;
            UpdateScrollRange();
            InvalidateRect(Handle(), nullptr, FALSE);
        }
    }

    void OnScroll(WPARAM wParam) {
        const ui::CheckGridLayout layout = Layout();
        const std::size_t page = std::max<std::size_t>(1, layout.VisibleRows());
        switch (LOWORD(wParam)) {
        case SB_LINEUP:
            ScrollTo(m_scroll > 0 ? m_scroll - 1 : 0);
            break;
        case SB_LINEDOWN:
            ScrollTo(m_scroll + 1);
            break;
        case SB_PAGEUP:
            ScrollTo(m_scroll > page ? m_scroll - page : 0);
            break;
        case SB_PAGEDOWN:
            ScrollTo(m_scroll + page);
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: {
            // The message's own position has 16 bits; the scroll bar keeps
            // all 32 of a grid longer than 65,535 rows.
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_TRACKPOS;
            if (GetScrollInfo(Handle(), SB_VERT, &info)) {
                ScrollTo(static_cast<std::size_t>(std::max(info.nTrackPos, 0)));
            }
            break;
        }
        default:
            break;
        }
    }

    void Paint() {
        PAINTSTRUCT ps{};
        const HDC dc = BeginPaint(Handle(), &ps);
        if (dc == nullptr) {
            return;
        }
        // Drawn into a buffer of the part to paint (a contact invalidates its
        // cell and the strip): no flicker, and nothing drawn twice.
        const RECT& area = ps.rcPaint;
        const int width = std::max<LONG>(area.right - area.left, 1);
        const int height = std::max<LONG>(area.bottom - area.top, 1);
        const win::UniqueMemoryDC buffer(CreateCompatibleDC(dc));
        const win::UniqueBitmap bitmap(buffer ? CreateCompatibleBitmap(dc, width, height)
                                              : nullptr);
        if (!bitmap) {
            PaintOn(dc, area);
        } else {
            const win::SelectedObject selected(buffer.Get(), bitmap.Get());
            SetViewportOrgEx(buffer.Get(), -area.left, -area.top, nullptr);
            PaintOn(buffer.Get(), area);
            SetViewportOrgEx(buffer.Get(), 0, 0, nullptr);
            BitBlt(dc, area.left, area.top, width, height, buffer.Get(), 0, 0, SRCCOPY);
        }
        EndPaint(Handle(), &ps);
    }

    static bool Meets(const ui::Rect& r, const RECT& area) {
        return r.left < area.right && area.left < r.right && r.top < area.bottom &&
               area.top < r.bottom;
    }

    void PaintOn(HDC dc, const RECT& area) {
        RECT client{};
        GetClientRect(Handle(), &client);
        Fill(dc, {area.left, area.top, area.right, area.bottom}, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, kText);
        SetBkMode(dc, TRANSPARENT);
        const ui::CheckGridLayout layout = Layout();
        const std::optional<Band> emphasised = m_form.m_emphasised;
        const HGDIOBJ old = SelectObject(dc, m_form.m_font.Get());
        if (area.top < layout.StripHeight()) {
            PaintStrip(dc, layout, emphasised);
        }
        const CheckGrid* grid = m_form.m_grid.get();
        if (grid == nullptr || grid->Codes().empty()) {
            Text(dc,
                 {0, layout.StripHeight(), client.right,
                  layout.StripHeight() + 2 * layout.RowHeight()},
                 m_form.NoCodesText(), DT_LEFT);
            SelectObject(dc, old);
            return;
        }
        for (std::size_t block = 0; block < layout.Blocks(); ++block) {
            for (const Band b : AllBands) {
                const ui::Rect header = layout.HeaderCell(block, b);
                if (Meets(header, area)) {
                    if (b == emphasised) {
                        Fill(dc, header, kEmphasisFill);
                        SetTextColor(dc, kEmphasisText);
                    }
                    SelectObject(dc,
                                 b == emphasised ? m_form.m_boldFont.Get() : m_form.m_font.Get());
                    Text(dc, header, std::string(b.Text()), DT_CENTER);
                    SetTextColor(dc, kText);
                }
            }
        }
        SelectObject(dc, m_form.m_font.Get());
        const HBRUSH frame = CreateSolidBrush(kFrame);
        for (std::size_t row = 0; row < grid->Codes().size(); ++row) {
            const auto code = layout.CodeRect(row, m_scroll);
            if (!code) {
                continue;
            }
            if (Meets(*code, area)) {
                Text(dc, *code, grid->Codes()[row], DT_LEFT);
            }
            for (const Band b : AllBands) {
                const auto cell = layout.CellRect(row, b, m_scroll);
                if (!Meets(*cell, area)) {
                    continue;
                }
                const ui::Rect inner{cell->left + 1, cell->top + 1, cell->right - 1,
                                     cell->bottom - 1};
                Fill(dc, inner,
                     grid->Worked(row, b) ? kWorkedFill
                     : b == emphasised    ? kEmphasisFill
                                          : kNeededFill);
                const RECT edge{inner.left, inner.top, inner.right, inner.bottom};
                if (frame != nullptr) {
                    FrameRect(dc, &edge, frame);
                }
            }
        }
        if (frame != nullptr) {
            DeleteObject(frame);
        }
        PaintTyped(dc, layout);
        if (const auto sign = layout.Sign(); sign && Meets(*sign, area)) {
            // Rows out of view: said where they are, loud.
            Fill(dc, *sign, kSignFill);
            SelectObject(dc, m_form.m_boldFont.Get());
            Text(dc, {sign->left + 2, sign->top, sign->right, sign->bottom},
                 ui::HiddenRowsText(layout.HiddenRows(grid->Codes().size(), m_scroll)), DT_LEFT);
        }
        SelectObject(dc, old);
    }

    // The typed station's oblast row: framed across its block, its code
    // bold on yellow.
    void PaintTyped(HDC dc, const ui::CheckGridLayout& layout) {
        const std::optional<std::size_t> typed = m_form.m_typedRow;
        if (!typed) {
            return;
        }
        const auto row = layout.RowRect(*typed, m_scroll);
        const auto code = layout.CodeRect(*typed, m_scroll);
        if (!row || !code) {
            return;
        }
        Fill(dc, *code, kSignFill);
        SelectObject(dc, m_form.m_boldFont.Get());
        Text(dc, {code->left + 1, code->top, code->right, code->bottom},
             m_form.m_grid->Codes()[*typed], DT_LEFT);
        if (const HBRUSH frame = CreateSolidBrush(kTypedFrame)) {
            const int width = std::max(2, m_form.Scaled(2));
            for (int i = 0; i < width; ++i) {
                const RECT edge{row->left + i, row->top + i, row->right - i, row->bottom - i};
                FrameRect(dc, &edge, frame);
            }
            DeleteObject(frame);
        }
        SelectObject(dc, m_form.m_font.Get());
    }

    void PaintStrip(HDC dc, const ui::CheckGridLayout& layout, std::optional<Band> emphasised) {
        const PerBand<std::int32_t> dxcc = m_form.Dxcc();
        const char* labels[] = {"Band", "OBL", "DXCC"};
        for (int line = 0; line < 3; ++line) {
            Text(dc, layout.StripLabel(line), labels[line], DT_LEFT);
            for (const Band b : AllBands) {
                const std::string text = line == 0   ? std::string(b.Text())
                                         : line == 1 ? WorkedOfTotal(b)
                                                     : std::to_string(dxcc[b]);
                SelectObject(dc, b == emphasised ? m_form.m_boldFont.Get() : m_form.m_font.Get());
                if (b == emphasised && line == 0) {
                    Fill(dc, layout.StripCell(line, b), kEmphasisFill);
                    SetTextColor(dc, kEmphasisText);
                }
                Text(dc, layout.StripCell(line, b), text, DT_CENTER);
                SetTextColor(dc, kText);
            }
            SelectObject(dc, m_form.m_font.Get());
        }
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_ERASEBKGND:
            return 1; // painted with the rest, in the buffer
        case WM_PAINT:
            Paint();
            return 0;
        case WM_SIZE:
            InvalidateAll();
            return 0;
        case WM_VSCROLL:
            OnScroll(wParam);
            return 0;
        case WM_MOUSEWHEEL:
            OnScroll(static_cast<short>(HIWORD(wParam)) > 0 ? SB_LINEUP : SB_LINEDOWN);
            return 0;
        case ui::kCheckTypedRowMessage:
            return TypedRowInView();
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(Content().size());
        case WM_GETTEXT: {
            const std::string text = Content();
            const std::size_t room = static_cast<std::size_t>(wParam);
            const std::size_t n = room > 0 ? std::min(text.size(), room - 1) : 0;
            // A buffer that cannot be written here gets nothing.
            if (room == 0 || !win::Accessible(reinterpret_cast<void*>(lParam), n + 1, true)) {
                return 0;
            }
            std::memcpy(reinterpret_cast<char*>(lParam), text.data(), n);
            reinterpret_cast<char*>(lParam)[n] = '\0';
            return static_cast<LRESULT>(n);
        }
        default:
            return Default(message, wParam, lParam);
        }
    }

    TfmMultCheck& m_form;
    std::size_t m_scroll = 0;
};

TfmMultCheck::TfmMultCheck(Session& session)
    : TForm("TfmMultCheck", false, ui::Choice::CheckOnTop), m_session(session) {}

TfmMultCheck::~TfmMultCheck() {
    m_session.Forget(*this);
}

TfmMultCheck& TfmMultCheck::Create(Session& session) {
    auto* form = new TfmMultCheck(session);
    CreateOrDelete(form, {ui::kMultCheckClass, "Multiplier check", ui::kCheckLeft, ui::kCheckTop,
                          ui::kCheckClientWidth, ui::kCheckClientHeight});
    form->m_storage.Restore(form->Handle());
    if (!form->m_storage.Applied()) {
        form->PlaceFirstTime();
    }
    form->ApplyOnTop(ui::Choice::CheckOnTop, ui::ReadChoice(ui::Choice::CheckOnTop), false);
    form->Rebuild();
    SetTimer(form->Handle(), kRateTimer, kRateTimerMilliseconds, nullptr);
    ShowWindow(form->Handle(), SW_SHOW);
    return *form;
}

void TfmMultCheck::BringUp() {
    ShowWindow(Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
}

void TfmMultCheck::MakeFonts() {
    m_font.Reset(CheckFont(Dpi(), false));
    m_boldFont.Reset(CheckFont(Dpi(), true));
    m_alertFont.Reset(CreateFontA(Scaled(-14), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                  DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                  DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Tahoma"));
    const auto set = [](HWND control, const win::UniqueFont& font) {
        if (control != nullptr) {
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
        }
    };
    set(m_headline, m_boldFont);
    set(m_station, m_font);
    set(m_rate, m_font);
    set(m_alert, m_alertFont);
    set(m_history, m_font);
    set(m_warning, m_boldFont);
    set(m_dismiss, m_font);
    set(m_dxccTitle, m_boldFont);
    set(m_dxccList, m_font);
}

LRESULT TfmMultCheck::StaticColours(HDC dc, HWND control) {
    if (control == m_alert && m_alertKind != TypedStation::Alert::None) {
        const bool dupe = m_alertKind == TypedStation::Alert::Dupe;
        // DUPE white on dark red; a new multiplier black on yellow.
        SetTextColor(dc, dupe ? RGB(255, 255, 255) : RGB(0, 0, 0));
        SetBkColor(dc, dupe ? RGB(176, 0, 0) : kSignFill);
        return reinterpret_cast<LRESULT>(dupe ? m_dupeBrush.Get() : m_newBrush.Get());
    }
    if (control == m_warning && !m_warningText.empty()) {
        // White on purple: apart from both alerts in hue and from the
        // yellow one in lightness.
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, RGB(102, 0, 153));
        return reinterpret_cast<LRESULT>(m_warningBrush.Get());
    }
    return Default(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                   reinterpret_cast<LPARAM>(control));
}

void TfmMultCheck::MakeControls() {
    m_headline = CreateWindowExA(
        0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ui::kCheckHeadlineId)), ModuleInstance(),
        nullptr);
    m_station = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0,
                                0, 0, 0, Handle(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(ui::kCheckStationId)),
                                ModuleInstance(), nullptr);
    const auto make = [this](const char* cls, DWORD style, int id) {
        return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ModuleInstance(),
                               nullptr);
    };
    constexpr DWORD kText = SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS;
    m_rate = make("STATIC", kText, ui::kCheckRateId);
    m_alert = make("STATIC", kText | SS_CENTERIMAGE, ui::kCheckAlertId);
    m_history = make("STATIC", kText | SS_CENTERIMAGE, ui::kCheckHistoryId);
    m_warning = make("STATIC", kText | SS_CENTERIMAGE, ui::kCheckWarningId);
    m_dismiss = make("BUTTON", BS_PUSHBUTTON, ui::kCheckDismissId);
    m_dxccTitle = make("STATIC", kText, ui::kCheckDxccTitleId);
    m_dxccList = CreateWindowExA(
        WS_EX_CLIENTEDGE, "LISTBOX", "",
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0, 0, 0, 0, Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ui::kCheckDxccListId)), ModuleInstance(),
        nullptr);
    if (m_headline == nullptr || m_station == nullptr || m_rate == nullptr || m_alert == nullptr ||
        m_history == nullptr || m_warning == nullptr || m_dismiss == nullptr ||
        m_dxccTitle == nullptr || m_dxccList == nullptr) {
        throw Error("Cannot create the multiplier check");
    }
    SetWindowTextA(m_dismiss, "Dismiss");
    ShowWindow(m_dismiss, SW_HIDE);
    m_newBrush.Reset(CreateSolidBrush(kSignFill));
    m_dupeBrush.Reset(CreateSolidBrush(RGB(176, 0, 0)));
    m_warningBrush.Reset(CreateSolidBrush(RGB(102, 0, 153)));
    MakeFonts();
    m_gridWindow = std::make_unique<Grid>(*this);
    m_gridWindow->Create(Handle());
    AddMenuItem(kMenuAlwaysOnTop, "Always on top", true);
}

void TfmMultCheck::LayOut() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const ui::CheckFormLayout l = ui::LayOutCheck(client.right, client.bottom, Dpi());
    Place(m_headline, l.headline);
    Place(m_rate, l.rate);
    Place(m_station, l.station);
    Place(m_alert, l.alert);
    Place(m_history, l.history);
    Place(m_warning, l.warning);
    Place(m_dismiss, l.dismiss);
    Place(m_dxccTitle, l.dxccTitle);
    Place(m_dxccList, l.dxccList);
    if (m_gridWindow && m_gridWindow->Handle() != nullptr) {
        Place(m_gridWindow->Handle(), l.grid);
    }
}

namespace {

struct OtherWindows {
    std::optional<ui::Rect> main;
    std::optional<ui::Rect> multipliers;
};

BOOL CALLBACK FindOtherWindow(HWND window, LPARAM param) {
    char name[64] = {};
    RECT r{};
    if (IsWindowVisible(window) && !IsIconic(window) &&
        GetClassNameA(window, name, sizeof name) > 0 && GetWindowRect(window, &r)) {
        auto& found = *reinterpret_cast<OtherWindows*>(param);
        const ui::Rect rect{r.left, r.top, r.right, r.bottom};
        if (std::strcmp(name, ui::kMainFormClass) == 0) {
            found.main = rect;
        } else if (std::strcmp(name, ui::kDomListClass) == 0) {
            found.multipliers = rect;
        }
    }
    return TRUE;
}

} // namespace

void TfmMultCheck::PlaceFirstTime() {
    // In the window's own coordinates, as its placement is stored.
    win::DpiAwarenessScope aware(Handle());
    OtherWindows others;
    EnumThreadWindows(GetCurrentThreadId(), &FindOtherWindow, reinterpret_cast<LPARAM>(&others));
    // A window not open (yet) is where it first opens.
    const int dpi = Dpi();
    const ui::Rect main = others.main.value_or(
        ui::KeptOnAMonitor({932, 187, 932 + ui::Scale(374, dpi), 187 + ui::Scale(196, dpi)}));
    const ui::Rect multipliers = others.multipliers.value_or(
        ui::KeptOnAMonitor({1020, 164, 1020 + ui::Scale(339, dpi), 164 + ui::Scale(182, dpi)}));
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const RECT mainRect{main.left, main.top, main.right, main.bottom};
    RECT own{};
    if (!GetWindowRect(Handle(), &own) ||
        !GetMonitorInfoA(MonitorFromRect(&mainRect, MONITOR_DEFAULTTONEAREST), &info)) {
        return;
    }
    const RECT& w = info.rcWork;
    const ui::Rect r = ui::FirstCheckRect({w.left, w.top, w.right, w.bottom}, {main, multipliers},
                                          own.right - own.left, own.bottom - own.top);
    SetWindowPos(Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

PerBand<std::int32_t> TfmMultCheck::Dxcc() const {
    const TScoring* scoring = m_session.Scoring();
    return scoring != nullptr ? DxccByBand(scoring->StatList()) : PerBand<std::int32_t>{};
}

std::string TfmMultCheck::NoCodesText() const {
    const std::string path = m_session.DomFilePath();
    const std::vector<std::string>* lines = m_session.DomLines();
    if (lines == nullptr) {
        return "The plug-in is stopped";
    }
    return lines->empty() ? "No oblast file: " + path : "No oblast codes in " + path;
}

void TfmMultCheck::Rebuild() {
    const std::vector<std::string>* lines = m_session.DomLines();
    const TScoring* scoring = m_session.Scoring();
    if (lines == nullptr || scoring == nullptr) {
        m_grid.reset();
    } else {
        if (!m_grid) {
            m_grid = std::make_unique<CheckGrid>(CheckCodes(*lines), UserLocaleKeyEquality());
        }
        m_grid->Rebuild(scoring->OblWorked());
    }
    m_emphasised = EmphasisedBand();
    m_dxcc = Dxcc();
    m_typedRow.reset();
    ShowHeadline();
    ShowStation();
    ShowDxcc();
    ShowRate();
    if (m_gridWindow) {
        m_gridWindow->InvalidateAll();
    }
}

void TfmMultCheck::ShowHeadline() {
    const TScoring* scoring = m_session.Scoring();
    SetText(m_headline, m_headlineText,
            scoring != nullptr ? MakeHeadline(scoring->StatList(), scoring->Duplicates()).Text()
                               : MakeHeadline({}, 0).Text());
}

void TfmMultCheck::ShowStation() {
    const TScoring* scoring = m_session.Scoring();
    const TQSOData* typed = m_session.TypedRecord();
    const std::vector<std::string>* lines = m_session.DomLines();
    const TypedStation station = typed != nullptr && scoring != nullptr && lines != nullptr
                                     ? AnalyseStation(*typed, *scoring, *lines)
                                     : TypedStation{};
    SetText(m_station, m_stationText, station.Text());
    SetText(m_history, m_historyText, station.HistoryText());
    const TypedStation::Alert kind = station.AlertKind();
    const bool alertChanged = SetText(m_alert, m_alertText, station.AlertText());
    if (kind != m_alertKind || alertChanged) {
        m_alertKind = kind;
        InvalidateRect(m_alert, nullptr, TRUE);
    }
    // The typed station's row marked and brought into view when it changes.
    std::optional<std::size_t> row;
    if (m_grid && !station.oblast.empty()) {
        row = m_grid->RowOf(station.oblast);
    }
    if (row != m_typedRow) {
        m_typedRow = row;
        if (m_gridWindow) {
            if (row) {
                m_gridWindow->ShowRow(*row);
            }
            m_gridWindow->InvalidateAll();
        }
    }
}

void TfmMultCheck::ShowDxcc() {
    const TScoring* scoring = m_session.Scoring();
    const std::optional<Band> band = m_emphasised;
    std::vector<std::string> prefixes;
    if (scoring != nullptr && band) {
        prefixes = DxccOnBand(scoring->DxccWorked(), *band);
    }
    SetText(m_dxccTitle, m_dxccTitleText,
            !band
                ? std::string("DXCC: no band")
                : "DXCC on " + std::string(band->Text()) + ": " + std::to_string(prefixes.size()));
    if (prefixes != m_dxccShown) {
        m_dxccShown = std::move(prefixes);
        SendMessageA(m_dxccList, WM_SETREDRAW, FALSE, 0);
        SendMessageA(m_dxccList, LB_RESETCONTENT, 0, 0);
        for (std::string prefix : m_dxccShown) {
            std::replace(prefix.begin(), prefix.end(), '\0', ' ');
            SendMessageA(m_dxccList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(prefix.c_str()));
        }
        SendMessageA(m_dxccList, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(m_dxccList, nullptr, TRUE);
    }
}

std::optional<Band> TfmMultCheck::EmphasisedBand() const {
    return ui::EmphasisedBand(m_session.TypedRecord(), m_session.CurrentBand());
}

void TfmMultCheck::ContactCounted(const TQSOData& rec, std::int32_t) {
    // The cell the contact filled is noted here; it, the strip and the texts
    // are drawn when the thread next handles its messages, once for any
    // number of contacts (as the statistics text is).
    const TScoring* scoring = m_session.Scoring();
    if (m_grid && scoring != nullptr) {
        if (const auto cell = m_grid->Count(rec, scoring->OblWorked())) {
            m_pendingCells.push_back(*cell);
        }
    }
    // The last contact's warning replaces the one before (or clears it).
    if (const std::vector<std::string>* lines = m_session.DomLines()) {
        m_pendingWarning = ContactWarning(rec, *lines, m_grid.get());
        m_warningPending = true;
    }
    PostRefresh();
}

void TfmMultCheck::ShowWarning() {
    const bool was = !m_warningText.empty();
    if (SetText(m_warning, m_warningText, m_pendingWarning) || was != !m_warningText.empty()) {
        InvalidateRect(m_warning, nullptr, TRUE);
    }
    ShowWindow(m_dismiss, m_warningText.empty() ? SW_HIDE : SW_SHOWNA);
}

void TfmMultCheck::DismissWarning() {
    m_pendingWarning.clear();
    ShowWarning();
}

void TfmMultCheck::PostRefresh() {
    PostOnce(kRefreshMessage, m_refreshPosted, [this] { Refresh(); });
}

void TfmMultCheck::Refresh() {
    m_refreshPosted = false;
    if (m_gridWindow) {
        for (const CheckGrid::Cell& cell : m_pendingCells) {
            m_gridWindow->InvalidateCell(cell.row, cell.band);
        }
        bool dxccChanged = false;
        if (const PerBand<std::int32_t> dxcc = Dxcc(); dxcc != m_dxcc) {
            m_dxcc = dxcc;
            dxccChanged = true;
            m_gridWindow->InvalidateStrip(m_gridWindow->Layout());
        }
        if (const std::optional<Band> emphasised = EmphasisedBand(); emphasised != m_emphasised) {
            m_emphasised = emphasised;
            dxccChanged = true;
            m_gridWindow->InvalidateAll();
        }
        if (dxccChanged) {
            ShowDxcc();
        }
    }
    m_pendingCells.clear();
    ShowHeadline();
    ShowStation();
    ShowRate();
    if (std::exchange(m_warningPending, false)) {
        ShowWarning();
    }
}

void TfmMultCheck::ShowRate() {
    SetText(m_rate, m_rateText, m_session.RateText());
}

bool TfmMultCheck::SetText(HWND control, std::string& shown, std::string text) {
    // A static control shows text up to its first zero byte.
    std::replace(text.begin(), text.end(), '\0', ' ');
    if (text == shown) {
        return false;
    }
    shown = std::move(text);
    SetWindowTextA(control, shown.c_str());
    return true;
}

void TfmMultCheck::StateChanged() {
    m_pendingCells.clear();
    Rebuild();
}

void TfmMultCheck::StationChanged() {
    PostRefresh();
}

void TfmMultCheck::End() {
    m_grid.reset();
    DestroyWindow(Handle());
}

bool TfmMultCheck::OrdinaryOwnMessage(UINT message) const {
    return message == kRefreshMessage;
}

void TfmMultCheck::OnDpiChanged() {
    if (m_gridWindow) {
        m_gridWindow->InvalidateAll();
    }
}

void TfmMultCheck::OnDestroy() {
    KillTimer(Handle(), kRateTimer);
}

LRESULT TfmMultCheck::FormMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
        return StaticColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
        if (LOWORD(wParam) == ui::kCheckDismissId && HIWORD(wParam) == BN_CLICKED &&
            reinterpret_cast<HWND>(lParam) == m_dismiss) {
            DismissWarning();
            return 0;
        }
        break;
    case kRefreshMessage:
        Refresh();
        return 0;
    case WM_TIMER:
        if (wParam == kRateTimer) {
            ShowRate();
            return 0;
        }
        break;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace morvel
