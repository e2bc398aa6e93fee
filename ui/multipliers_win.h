// TfmDomList: the "Multipliers" window, listing the oblast codes of the oblast
// file and marking those worked on the selected band.
#pragma once

#include "session/session.h"
#include "ui/form_win.h"
#include "ui/multipliers_layout.h"
#include "ui/win/handles.h"
#include "ui/win/subclass_win.h"

#include <commctrl.h>

#include <string>
#include <vector>

namespace morvel {

// A view of the session: it reads the oblast file's lines, the worked
// oblasts and the stored band there, and stores the band it shows through
// it; the session ends it with the main window.
class TfmDomList final : public TForm, private win::SubclassHandler, public BandView {
public:
    // Makes the hidden window for the session. Throws Error.
    static TfmDomList& Create(Session& session);

    // SetBand: selects band n (1-9: its button pressed, its text current),
    // repaints the list and stores n as the session's CurrentBand.
    void SetBand(int n) { m_session.SelectBand(n); }

    bool Closed() const override { return TForm::Closed(); }

private:
    explicit TfmDomList(Session& session);
    ~TfmDomList() override;

    // BandView
    void Show() override;
    void ShowBand(int n) override;
    void End() override;

    // TForm
    void MakeFonts() override;
    void MakeControls() override;
    void LayOut() override;

    void MakeBandButtons();
    void MakeList();
    void FormCreate();
    void FormShow();
    void Panel2Resize();
    void RzBitBtn1Click(int tag);
    // The list's custom-draw record that a WM_NOTIFY's lParam points to, or
    // nullptr when it is none (another notification, or not the list's).
    NMLVCUSTOMDRAW* ListCustomDraw(LPARAM lParam) const;
    LRESULT LV1CustomDrawItem(NMLVCUSTOMDRAW& draw);
    // The pressed button follows the band when the thread next handles its
    // messages, or at once when a button is read or painted: a recalculation
    // moves the band for nearly every row, and a button redraws itself
    // whenever its state is set.
    void ApplyPressedButton();
    // The band buttons' subclass applies the pressed button before one is
    // read or painted; LV1's paints it through a buffer of the whole client
    // area: no flicker, and no part of it left unpainted.
    std::optional<LRESULT> OnSubclassMessage(UINT_PTR id, HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) override;
    void PaintList();
    std::string EmptyListText() const;
    void PaintListOn(HDC target, const RECT& client, COLORREF background);

    LRESULT FormMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OrdinaryOwnMessage(UINT message) const override;
    void OnCommand(int id, int code);
    bool OnSetCursor(HWND over);
    void OnFinalDestroy() override { delete this; }

    Session& m_session;
    HWND m_panel = nullptr;
    PerBand<HWND> m_bandButtons;
    // The band whose button stands pressed as the window was laid out.
    static constexpr Band kLaidOutBand = *Band::FromText("10");
    Band m_pressed = kLaidOutBand;       // the band whose button shows pressed
    Band m_pressedWanted = kLaidOutBand; // the band whose button is to be pressed
    bool m_applyPosted = false;
    bool m_repaintPending = false; // LV1 invalidated, not yet painted
    HWND m_list = nullptr;
    HWND m_splitter = nullptr;
    win::UniqueFont m_formFont;
    win::UniqueFont m_listFont;
    win::UniqueFont m_highlightFont;
    std::string m_currentBandText; // CurrentBandText: empty until a band 1-9 is chosen
    ui::Highlighter m_highlighter;
};

} // namespace morvel
