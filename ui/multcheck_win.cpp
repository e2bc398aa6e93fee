#include "ui/multcheck_win.h"

#include "contract/text.h"
#include "plugin/module/module_win.h"
#include "session/bands.h"
#include "ui/control_ids.h"
#include "ui/main_layout.h"
#include "ui/multcheck_logic.h"
#include "ui/win/params_win.h"
#include "ui/win/window_base.h"

#include <algorithm>
#include <cstring>

namespace morvel {

namespace {

// Posted after contacts and a station typed: what changed is drawn.
constexpr UINT kRefreshMessage = WM_APP + 4;
constexpr COLORREF kWorkedFill = RGB(0, 0, 255);
constexpr COLORREF kNeededFill = RGB(255, 255, 255);
constexpr COLORREF kEmphasisFill = RGB(255, 246, 196);
constexpr COLORREF kFrame = RGB(160, 160, 160);
constexpr COLORREF kText = RGB(0, 0, 0);

HFONT CheckFont(int dpi, bool bold) {
    return CreateFontA(ui::Scale(-11, dpi), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
}

void Fill(HDC dc, const ui::Rect& r, COLORREF colour) {
    SetBkColor(dc, colour);
    const RECT rect{r.left, r.top, r.right, r.bottom};
    ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}

void Text(HDC dc, const ui::Rect& r, const std::string& text, UINT format) {
    RECT rect{r.left, r.top, r.right, r.bottom};
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

// The open multiplier check window of each session: one at most.
std::vector<TfmMultCheck*>& OpenForms() {
    static std::vector<TfmMultCheck*> forms;
    return forms;
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

    void InvalidateCell(std::size_t row, int band) {
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

    // The grid as text: the strip's three lines, then a line a code with X for
    // a worked band and . for a needed one; a band drawn emphasised is marked *.
    std::string Content() const {
        const CheckGrid* grid = m_form.m_grid.get();
        const std::array<std::int32_t, 9> dxcc = m_form.Dxcc();
        std::string band = "Band";
        std::string obl = "OBL";
        std::string dx = "DXCC";
        for (int b = 1; b <= 9; ++b) {
            band += "\t" + std::string(BandTable[static_cast<std::size_t>(b - 1)]) +
                    (b == m_form.m_emphasised ? "*" : "");
            obl += "\t" + WorkedOfTotal(b);
            dx += "\t" + std::to_string(dxcc[static_cast<std::size_t>(b - 1)]);
        }
        std::string text = band + "\r\n" + obl + "\r\n" + dx + "\r\n";
        if (grid == nullptr || grid->Codes().empty()) {
            return text + m_form.NoCodesText() + "\r\n";
        }
        for (std::size_t row = 0; row < grid->Codes().size(); ++row) {
            text += grid->Codes()[row];
            for (int b = 1; b <= 9; ++b) {
                text += grid->Worked(row, b) ? "\tX" : "\t.";
            }
            text += "\r\n";
        }
        return text;
    }

private:
    std::size_t Rows() const { return m_form.m_grid ? m_form.m_grid->Codes().size() : 0; }

    std::string WorkedOfTotal(int band) const {
        const CheckGrid* grid = m_form.m_grid.get();
        return grid == nullptr ? "0/0"
                               : std::to_string(grid->WorkedOn(band)) + "/" +
                                     std::to_string(grid->Codes().size());
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
        const int emphasised = m_form.m_emphasised;
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
            const int left = layout.BlockLeft(block);
            for (int b = 1; b <= 9; ++b) {
                const int x = left + layout.BandLeft(b);
                const ui::Rect header{x, layout.HeaderTop(), x + layout.CellWidth(),
                                      layout.HeaderTop() + layout.RowHeight()};
                if (Meets(header, area)) {
                    SelectObject(dc,
                                 b == emphasised ? m_form.m_boldFont.Get() : m_form.m_font.Get());
                    Text(dc, header, std::string(BandTable[static_cast<std::size_t>(b - 1)]),
                         DT_CENTER);
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
            for (int b = 1; b <= 9; ++b) {
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
        SelectObject(dc, old);
    }

    void PaintStrip(HDC dc, const ui::CheckGridLayout& layout, int emphasised) {
        const std::array<std::int32_t, 9> dxcc = m_form.Dxcc();
        const char* labels[] = {"Band", "OBL", "DXCC"};
        for (int line = 0; line < 3; ++line) {
            Text(dc, layout.StripLabel(line), labels[line], DT_LEFT);
            for (int b = 1; b <= 9; ++b) {
                const std::string text =
                    line == 0   ? std::string(BandTable[static_cast<std::size_t>(b - 1)])
                    : line == 1 ? WorkedOfTotal(b)
                                : std::to_string(dxcc[static_cast<std::size_t>(b - 1)]);
                SelectObject(dc, b == emphasised ? m_form.m_boldFont.Get() : m_form.m_font.Get());
                Text(dc, layout.StripCell(line, b), text, DT_CENTER);
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

TfmMultCheck::TfmMultCheck(Session& session) : m_session(&session) {
    session.AttachCheck(*this);
    OpenForms().push_back(this);
}

TfmMultCheck::~TfmMultCheck() {
    if (m_session != nullptr) {
        m_session->DetachCheck(*this);
    }
    std::erase(OpenForms(), this);
}

void TfmMultCheck::Open(Session& session) {
    for (TfmMultCheck* form : OpenForms()) {
        if (!form->Closed() && form->m_session == &session && form->Handle() != nullptr) {
            ShowWindow(form->Handle(), SW_SHOWNORMAL);
            SetForegroundWindow(form->Handle());
            return;
        }
    }
    auto* form = new TfmMultCheck(session);
    try {
        form->CreateForm({ui::kMultCheckClass, "Multiplier check", ui::kCheckLeft, ui::kCheckTop,
                          ui::kCheckClientWidth, ui::kCheckClientHeight});
    } catch (...) {
        if (form->Handle() != nullptr) {
            DestroyWindow(form->Handle());
        } else {
            delete form;
        }
        throw;
    }
    form->m_storage.Restore(form->Handle());
    form->ApplyOnTop(ui::Choice::CheckOnTop, ui::ReadChoice(ui::Choice::CheckOnTop), false);
    form->Rebuild();
    ShowWindow(form->Handle(), SW_SHOW);
}

void TfmMultCheck::MakeFonts() {
    m_font.Reset(CheckFont(Dpi(), false));
    m_boldFont.Reset(CheckFont(Dpi(), true));
    if (m_headline != nullptr) {
        SendMessageA(m_headline, WM_SETFONT, reinterpret_cast<WPARAM>(m_boldFont.Get()), TRUE);
        SendMessageA(m_station, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
    }
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
    if (m_headline == nullptr || m_station == nullptr) {
        throw Error("Cannot create the multiplier check");
    }
    MakeFonts();
    m_gridWindow = std::make_unique<Grid>(*this);
    m_gridWindow->Create(Handle());
    AddMenuItem(kMenuAlwaysOnTop, "Always on top", true);
}

void TfmMultCheck::LayOut() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int margin = Scaled(4);
    const int headline = std::min<int>(Scaled(ui::kCheckHeadlineHeight), client.bottom);
    const int station = std::min<int>(Scaled(ui::kCheckStationHeight), client.bottom - headline);
    Place(m_headline, {margin, margin / 2, client.right - margin, headline});
    Place(m_station, {margin, headline, client.right - margin, headline + station});
    if (m_gridWindow && m_gridWindow->Handle() != nullptr) {
        Place(m_gridWindow->Handle(), {margin, headline + station, client.right,
                                       std::max<int>(client.bottom, headline + station)});
    }
}

std::array<std::int32_t, 9> TfmMultCheck::Dxcc() const {
    const TScoring* scoring = m_session != nullptr ? m_session->Scoring() : nullptr;
    return scoring != nullptr ? DxccByBand(scoring->StatList()) : std::array<std::int32_t, 9>{};
}

std::string TfmMultCheck::NoCodesText() const {
    const std::string path = m_session != nullptr ? m_session->DomFilePath() : std::string();
    const std::vector<std::string>* lines = m_session != nullptr ? m_session->DomLines() : nullptr;
    if (lines == nullptr) {
        return "The plug-in is stopped";
    }
    return lines->empty() ? "No oblast file: " + path : "No oblast codes in " + path;
}

void TfmMultCheck::Rebuild() {
    const std::vector<std::string>* lines = m_session != nullptr ? m_session->DomLines() : nullptr;
    const TScoring* scoring = m_session != nullptr ? m_session->Scoring() : nullptr;
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
    ShowHeadline();
    ShowStation();
    if (m_gridWindow) {
        m_gridWindow->InvalidateAll();
    }
}

void TfmMultCheck::ShowHeadline() {
    const TScoring* scoring = m_session != nullptr ? m_session->Scoring() : nullptr;
    SetText(m_headline, m_headlineText,
            scoring != nullptr ? MakeHeadline(scoring->StatList(), scoring->Duplicates()).Text()
                               : MakeHeadline({}, 0).Text());
}

void TfmMultCheck::ShowStation() {
    const TScoring* scoring = m_session != nullptr ? m_session->Scoring() : nullptr;
    const TQSOData* typed = m_session != nullptr ? m_session->TypedRecord() : nullptr;
    const std::vector<std::string>* lines = m_session != nullptr ? m_session->DomLines() : nullptr;
    SetText(m_station, m_stationText,
            typed != nullptr && scoring != nullptr && lines != nullptr
                ? AnalyseStation(*typed, *scoring, *lines).Text()
                : TypedStation{}.Text());
}

int TfmMultCheck::EmphasisedBand() const {
    if (m_session == nullptr) {
        return 0;
    }
    if (const TQSOData* typed = m_session->TypedRecord()) {
        if (const std::optional<int> band = BandNumber(Trim(typed->DigiBand.View()))) {
            return *band;
        }
    }
    const std::optional<std::int32_t> chosen = ui::ParseInt(Trim(m_session->CurrentBand()));
    return chosen && *chosen >= 1 && *chosen <= 9 ? *chosen : 0;
}

void TfmMultCheck::ContactCounted(const TQSOData& rec, std::int32_t) {
    // The cell the contact filled is noted here; it, the strip and the texts
    // are drawn when the thread next handles its messages, once for any
    // number of contacts (as the statistics text is).
    const TScoring* scoring = m_session->Scoring();
    if (m_grid && scoring != nullptr) {
        if (const auto cell = m_grid->Count(rec, scoring->OblWorked())) {
            m_pendingCells.push_back(*cell);
        }
    }
    PostRefresh();
}

void TfmMultCheck::PostRefresh() {
    if (!m_refreshPosted && Handle() != nullptr) {
        m_refreshPosted = PostMessageA(Handle(), kRefreshMessage, 0, 0) != FALSE;
    }
    if (!m_refreshPosted) {
        Refresh();
    }
}

void TfmMultCheck::Refresh() {
    m_refreshPosted = false;
    if (m_gridWindow) {
        for (const CheckGrid::Cell& cell : m_pendingCells) {
            m_gridWindow->InvalidateCell(cell.row, cell.band);
        }
        if (const std::array<std::int32_t, 9> dxcc = Dxcc(); dxcc != m_dxcc) {
            m_dxcc = dxcc;
            m_gridWindow->InvalidateStrip(m_gridWindow->Layout());
        }
        if (const int emphasised = EmphasisedBand(); emphasised != m_emphasised) {
            m_emphasised = emphasised;
            m_gridWindow->InvalidateAll();
        }
    }
    m_pendingCells.clear();
    ShowHeadline();
    ShowStation();
}

void TfmMultCheck::SetText(HWND control, std::string& shown, std::string text) {
    // A static control shows text up to its first zero byte.
    std::replace(text.begin(), text.end(), '\0', ' ');
    if (text != shown) {
        shown = std::move(text);
        SetWindowTextA(control, shown.c_str());
    }
}

void TfmMultCheck::StateChanged() {
    m_pendingCells.clear();
    Rebuild();
}

void TfmMultCheck::StationChanged() {
    PostRefresh();
}

void TfmMultCheck::SessionEnded() {
    m_session = nullptr;
    m_grid.reset();
    if (Handle() != nullptr) {
        DestroyWindow(Handle());
    }
}

bool TfmMultCheck::OrdinaryOwnMessage(UINT message) const {
    return message == kRefreshMessage;
}

void TfmMultCheck::FormClose() {
    m_storage.Save(Handle(), false);
    ShowWindow(Handle(), SW_HIDE);
    PostRelease();
    m_closed = true;
}

LRESULT TfmMultCheck::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (FollowDpi(message, wParam, lParam)) {
        if (m_gridWindow) {
            m_gridWindow->InvalidateAll();
        }
        return 0;
    }
    switch (message) {
    case WM_SIZE:
        if (m_station != nullptr) {
            LayOut();
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kMenuAlwaysOnTop) {
            ToggleOnTop(ui::Choice::CheckOnTop);
            return 0;
        }
        break;
    case WM_ENTERSIZEMOVE:
    case WM_EXITSIZEMOVE:
    case WM_WINDOWPOSCHANGED:
        m_storage.Follow(Handle(), message);
        break;
    case WM_CLOSE:
        FormClose();
        return 0;
    case kRefreshMessage:
        Refresh();
        return 0;
    case kReleaseMessage:
        if (TakeRelease()) {
            DestroyWindow(Handle());
        }
        return 0;
    case WM_DESTROY:
        m_storage.Save(Handle(), true);
        m_closed = true;
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace morvel
