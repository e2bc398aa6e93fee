#include "ui/multipliers_win.h"

#include "contract/text.h"
#include "module/module_win.h"
#include "oblast/oblast.h"
#include "ui/control_ids.h"
#include "ui/main_layout.h"
#include "ui/win/params_win.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <optional>
#include <vector>

namespace morvel {

namespace {

constexpr UINT kApplyBandMessage = WM_APP + 3;
constexpr int kClientWidth = 327;
constexpr int kClientHeight = 141;
constexpr int kLeft = 1020;
constexpr int kTop = 164;
constexpr int kPanelHeight = 18;
constexpr int kSplitterHeight = 3;
constexpr COLORREF kWorkedColour = RGB(0, 0, 255);
constexpr COLORREF kPlainColour = RGB(0, 0, 0);
constexpr UINT_PTR kBandButtonSubclass = 1;
constexpr UINT_PTR kListSubclass = 2;

HFONT ListFont(int dpi, bool worked) {
    return CreateFontA(ui::Scale(-11, dpi), 0, 0, 0, worked ? FW_BOLD : FW_NORMAL, FALSE,
                       worked ? TRUE : FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       "MS Sans Serif");
}

// The user locale's case-sensitive order, as the list keeps its items.
bool LocaleLess(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, 0, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_LESS_THAN;
}

} // namespace

TfmDomList::TfmDomList(Session& session)
    : TForm("TfmDomList", false, ui::Choice::MultipliersOnTop), m_session(session) {}

TfmDomList::~TfmDomList() {
    m_session.Forget(*this);
}

TfmDomList& TfmDomList::Create(Session& session) {
    auto* form = new TfmDomList(session);
    CreateOrDelete(form,
                   {ui::kDomListClass, "Multipliers", kLeft, kTop, kClientWidth, kClientHeight});
    // Position and size only: the window is shown normal whatever its state was.
    form->m_storage.Restore(form->Handle());
    form->ApplyOnTop(ui::Choice::MultipliersOnTop, ui::ReadChoice(ui::Choice::MultipliersOnTop),
                     false);
    return *form;
}

void TfmDomList::Show() {
    try {
        FormShow();
    } catch (const std::exception& e) {
        ShowFailure(e.what());
    }
    if (!Closed()) {
        ShowWindow(Handle(), SW_SHOW);
    }
}

void TfmDomList::MakeControls() {
    MakeBandButtons();
    MakeList();
    FormCreate();
    AddMenuItem(kMenuMultiplierCheck, "Multiplier check");
    AddMenuItem(kMenuAlwaysOnTop, "Always on top", true);
}

// The panel with the nine band buttons.
void TfmDomList::MakeBandButtons() {
    m_panel = win::CreatePanel(Handle(), ui::kPanel2Id, ui::kPanelClass);
    for (const Band band : AllBands) {
        const std::string caption(band.Text());
        // Push-like radio buttons: one exclusive group, one stays pressed; no
        // tab stop.
        HWND button = CreateWindowExA(
            0, "BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_RADIOBUTTON | BS_PUSHLIKE, 0,
            0, 0, 0, m_panel,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ui::kFirstBandButtonId + band.Index())),
            ModuleInstance(), nullptr);
        if (button == nullptr) {
            throw Error("Cannot create the band buttons");
        }
        SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(m_formFont.Get()), FALSE);
        Subclass(button, kBandButtonSubclass);
        m_bandButtons[band] = button;
    }
    // Until a band is applied, the button of "10" stands pressed, as the
    // window was laid out.
    m_pressed = m_pressedWanted = kLaidOutBand;
    SendMessageA(m_bandButtons[kLaidOutBand], BM_SETCHECK, BST_CHECKED, 0);
}

// LV1, the list of oblast codes, and the splitter above it.
void TfmDomList::MakeList() {
    m_list = CreateWindowExA(
        0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_LIST | LVS_NOSORTHEADER, 0, 0, 0, 0,
        Handle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(ui::kBandListId)), ModuleInstance(),
        nullptr);
    if (m_list == nullptr) {
        throw Error("Cannot create the oblast list");
    }
    SendMessageA(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.Get()), FALSE);
    Subclass(m_list, kListSubclass);
    m_splitter = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_NOTIFY, 0, 0, 0, 0,
                                 Handle(), nullptr, ModuleInstance(), nullptr);
}

void TfmDomList::MakeFonts() {
    m_formFont.Reset(CreateFontA(Scaled(-11), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
    m_listFont.Reset(ListFont(Dpi(), false));
    m_highlightFont.Reset(ListFont(Dpi(), true));
    for (HWND button : m_bandButtons) {
        if (button != nullptr) {
            SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(m_formFont.Get()), TRUE);
        }
    }
    if (m_list != nullptr) {
        SendMessageA(m_list, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.Get()), TRUE);
    }
}

void TfmDomList::FormCreate() {
    // Double-buffered by ListProc, which paints the whole background into the
    // buffer too (the list view's own buffer leaves what lies below its last
    // row unpainted under Wine).
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_FLATSB);
    ListView_DeleteAllItems(m_list);
    const std::vector<std::string>* lines = m_session.DomLines();
    std::vector<std::string> codes =
        DomListCodes(lines != nullptr ? *lines : std::vector<std::string>());
    std::stable_sort(codes.begin(), codes.end(), LocaleLess);
    int index = 0;
    for (std::string& code : codes) {
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = index++;
        item.pszText = code.data();
        SendMessageA(m_list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
    // Lay the items out afresh.
    SetWindowLongPtrA(m_list, GWL_STYLE,
                      (GetWindowLongPtrA(m_list, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_ICON);
    SetWindowLongPtrA(m_list, GWL_STYLE,
                      (GetWindowLongPtrA(m_list, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_LIST);
}

void TfmDomList::FormShow() {
    const std::optional<std::int32_t> band = ui::ParseInt(Trim(m_session.CurrentBand()));
    if (!band) {
        throw Error("Invalid variant type conversion");
    }
    SetBand(*band);
}

void TfmDomList::ShowBand(int n) {
    // A recalculation calls this for every row: only what changes is touched,
    // and the list is repainted once when the thread next handles its
    // messages, not once a row.
    if (const std::optional<Band> band = Band::FromNumber(n)) {
        m_pressedWanted = *band;
        m_currentBandText = band->Text();
        if (m_pressedWanted != m_pressed) {
            PostOnce(kApplyBandMessage, m_applyPosted, [this] { ApplyPressedButton(); });
        }
    }
    if (m_list != nullptr && !m_repaintPending) {
        m_repaintPending = InvalidateRect(m_list, nullptr, FALSE) != FALSE;
    }
}

void TfmDomList::End() {
    DestroyWindow(Handle());
}

void TfmDomList::ApplyPressedButton() {
    m_applyPosted = false;
    if (m_pressedWanted == m_pressed) {
        return;
    }
    const Band before = m_pressed;
    m_pressed = m_pressedWanted; // first: setting a state below reads buttons again
    for (const Band band : AllBands) {
        if (band == m_pressed || band == before ||
            SendMessageA(m_bandButtons[band], BM_GETCHECK, 0, 0) != BST_UNCHECKED) {
            SendMessageA(m_bandButtons[band], BM_SETCHECK,
                         band == m_pressed ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

std::optional<LRESULT> TfmDomList::OnSubclassMessage(UINT_PTR id, HWND, UINT message, WPARAM wParam,
                                                     LPARAM) {
    if (id == kBandButtonSubclass) {
        if (message == BM_GETCHECK || message == BM_GETSTATE || message == WM_PAINT) {
            ApplyPressedButton();
        }
    } else if (id == kListSubclass) {
        if (message == WM_ERASEBKGND) {
            return 1; // the background is painted with the items, in the buffer
        }
        if (message == WM_PAINT && wParam == 0) {
            PaintList();
            return 0;
        }
    }
    return std::nullopt;
}

void TfmDomList::PaintListOn(HDC target, const RECT& client, COLORREF background) {
    SetBkColor(target, background);
    ExtTextOutA(target, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    DefSubclassProc(m_list, WM_PAINT, reinterpret_cast<WPARAM>(target), 0);
    if (ListView_GetItemCount(m_list) == 0) {
        // An empty list says why: the oblast file it looked for.
        const std::string text = EmptyListText();
        RECT line = client;
        InflateRect(&line, -Scaled(2), -Scaled(2));
        const HGDIOBJ old = SelectObject(target, m_listFont.Get());
        SetTextColor(target, GetSysColor(COLOR_GRAYTEXT));
        SetBkMode(target, TRANSPARENT);
        DrawTextA(target, text.c_str(), static_cast<int>(text.size()), &line,
                  DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS);
        SelectObject(target, old);
    }
}

std::string TfmDomList::EmptyListText() const {
    const std::vector<std::string>* lines = m_session.DomLines();
    return lines != nullptr && !lines->empty() ? "No oblast codes in " + m_session.DomFilePath()
                                               : "No oblast file: " + m_session.DomFilePath();
}

void TfmDomList::PaintList() {
    PAINTSTRUCT ps{};
    const HDC dc = BeginPaint(m_list, &ps);
    if (dc == nullptr) {
        return;
    }
    RECT client{};
    GetClientRect(m_list, &client);
    COLORREF background = ListView_GetBkColor(m_list);
    if (background == CLR_NONE) {
        background = GetSysColor(COLOR_WINDOW);
    }
    // Without a buffer the list is painted straight onto the screen.
    const win::UniqueMemoryDC buffer(CreateCompatibleDC(dc));
    const win::UniqueBitmap bitmap(buffer
                                       ? CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1),
                                                                std::max<LONG>(client.bottom, 1))
                                       : nullptr);
    if (!bitmap) {
        PaintListOn(dc, client, background);
    } else {
        const win::SelectedObject selected(buffer.Get(), bitmap.Get());
        PaintListOn(buffer.Get(), client, background);
        const RECT& r = ps.rcPaint;
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, buffer.Get(), r.left, r.top,
               SRCCOPY);
    }
    EndPaint(m_list, &ps);
}

void TfmDomList::RzBitBtn1Click(int tag) {
    SetBand(tag);
}

void TfmDomList::Panel2Resize() {
    RECT r{};
    GetClientRect(m_panel, &r);
    const auto layout = ui::Panel2Resize(r.right, r.bottom);
    if (!layout) {
        return;
    }
    for (const Band band : AllBands) {
        ui::Rect place = layout->buttons[band];
        if (band == AllBands.back() && !layout->lastWidthApplied) {
            RECT current{};
            GetWindowRect(m_bandButtons[band], &current);
            place.right = place.left + (current.right - current.left);
        }
        Place(m_bandButtons[band], place);
    }
}

void TfmDomList::LayOut() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int panelHeight = std::min<int>(Scaled(kPanelHeight), client.bottom);
    const int splitter = Scaled(kSplitterHeight);
    Place(m_panel, {0, 0, client.right, panelHeight});
    const int splitterTop = std::max(panelHeight, static_cast<int>(client.bottom) - splitter);
    Place(m_list, {0, panelHeight, client.right, splitterTop});
    Place(m_splitter, {0, splitterTop, client.right, client.bottom});
    Panel2Resize();
}

NMLVCUSTOMDRAW* TfmDomList::ListCustomDraw(LPARAM lParam) const {
    // The list sends its notifications on this thread, with the record on
    // its stack; one from another thread or process, or one whose record
    // cannot be read and written here, is none of the list's.
    if (!win::FromThisThread()) {
        return nullptr;
    }
    const std::optional<NMHDR> header = win::ReadPointee<NMHDR>(lParam);
    if (!header || header->hwndFrom != m_list || m_list == nullptr ||
        header->code != static_cast<UINT>(NM_CUSTOMDRAW)) {
        return nullptr;
    }
    // What LV1CustomDrawItem reads and writes: up to the text colour.
    constexpr std::size_t kUsed = offsetof(NMLVCUSTOMDRAW, clrText) + sizeof(COLORREF);
    auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(lParam);
    return win::Accessible(draw, kUsed, true) ? draw : nullptr;
}

LRESULT TfmDomList::LV1CustomDrawItem(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        m_repaintPending = false;
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const WorkedList* worked = m_session.OblWorked();
        if (worked == nullptr) {
            return CDRF_DODEFAULT;
        }
        char text[16] = {};
        LVITEMA item{};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(m_list, LVM_GETITEMTEXTA, draw.nmcd.dwItemSpec,
                     reinterpret_cast<LPARAM>(&item));
        switch (m_highlighter.Look(*worked, m_currentBandText, text)) {
        case ui::ItemLook::Default:
            return CDRF_DODEFAULT;
        case ui::ItemLook::Plain:
            draw.clrText = kPlainColour;
            return CDRF_NEWFONT;
        case ui::ItemLook::Highlighted:
            draw.clrText = kWorkedColour;
            SelectObject(draw.nmcd.hdc, m_highlightFont.Get());
            return CDRF_NEWFONT;
        }
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void TfmDomList::OnCommand(int id, int code) {
    const std::optional<Band> band = Band::FromNumber(id - ui::kFirstBandButtonId + 1);
    if (code == BN_CLICKED && band) {
        RzBitBtn1Click(band->Number());
    }
}

// The splitter shows the up-and-down cursor; true when it was set.
bool TfmDomList::OnSetCursor(HWND over) {
    if (over != m_splitter) {
        return false;
    }
    SetCursor(win::Look().upDown);
    return true;
}

// The band a contact took the window to, shown: the module's own drawing only.
bool TfmDomList::OrdinaryOwnMessage(UINT message) const {
    return message == kApplyBandMessage;
}

LRESULT TfmDomList::FormMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == kMenuMultiplierCheck) {
            m_session.OpenCheck();
            return 0;
        }
        break;
    case WM_NOTIFY:
        if (NMLVCUSTOMDRAW* draw = ListCustomDraw(lParam)) {
            return LV1CustomDrawItem(*draw);
        }
        break;
    case WM_SETCURSOR:
        if (OnSetCursor(reinterpret_cast<HWND>(wParam))) {
            return TRUE;
        }
        break;
    case kApplyBandMessage:
        ApplyPressedButton();
        return 0;
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

} // namespace morvel
