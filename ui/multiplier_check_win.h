// TfmMultCheck: the multiplier check window. Which oblast multipliers are
// still needed on which band (a grid of the oblast file's codes against the
// nine bands), the score at a glance, and what the station being typed would
// bring. A view of the session, opened from the system menus of the main and
// the multipliers windows; at most one is open.
#pragma once

#include "session/multiplier_check.h"
#include "session/session.h"
#include "ui/form_win.h"
#include "ui/win/handles.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace morvel {

class TfmMultCheck final : public TForm, public CheckView {
public:
    // Makes and shows the window for the session. Throws Error.
    static TfmMultCheck& Create(Session& session);

private:
    class Grid;

    explicit TfmMultCheck(Session& session);
    ~TfmMultCheck() override;

    // TForm
    void MakeFonts() override;
    void MakeControls() override;
    void LayOut() override;

    // CheckView
    void ContactCounted(const TQSOData& rec, std::int32_t result) override;
    void StateChanged() override;
    void StationChanged() override;
    bool Closed() const override { return TForm::Closed(); }
    void BringUp() override;
    void End() override;

    // TForm
    LRESULT FormMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDpiChanged() override;
    void OnDestroy() override;
    bool OrdinaryOwnMessage(UINT message) const override;
    void OnFinalDestroy() override { delete this; }
    // What contacts and a typed station changed is drawn when the thread next
    // handles its messages (Refresh), once for any number of them.
    void PostRefresh();
    void Refresh();

    // The grid and the texts made anew from the session.
    void Rebuild();
    void ShowHeadline();
    void ShowStation();
    // A static text, set only when it reads otherwise.
    // True when it changed.
    static bool SetText(HWND control, std::string& shown, std::string text);
    // The DXCC prefixes worked on the emphasised band.
    void ShowDxcc();
    // The warning about the last contact counted: shown, or dismissed by the
    // operator until the next contact.
    void ShowWarning();
    void DismissWarning();
    // The rate line; also once a minute on the window's timer.
    void ShowRate();
    // The DXCC multipliers of each band; the grid's text when it has no codes.
    PerBand<std::int32_t> Dxcc() const;
    std::string NoCodesText() const;
    // The band column drawn emphasised: the typed station's band, else the
    // band chosen in the multipliers window; nothing for none.
    std::optional<Band> EmphasisedBand() const;

    Session& m_session;
    std::unique_ptr<CheckGrid> m_grid;
    std::unique_ptr<Grid> m_gridWindow;
    // Placed apart from the statistics and the multipliers window, when no
    // placement of its own is stored.
    void PlaceFirstTime();
    // Colours of the alert and the warning (WM_CTLCOLORSTATIC).
    LRESULT StaticColours(HDC dc, HWND control);

    HWND m_headline = nullptr;
    HWND m_station = nullptr;
    HWND m_rate = nullptr;
    HWND m_alert = nullptr;
    HWND m_history = nullptr;
    HWND m_warning = nullptr;
    HWND m_dismiss = nullptr;
    HWND m_dxccTitle = nullptr;
    HWND m_dxccList = nullptr;
    win::UniqueFont m_font;
    win::UniqueFont m_boldFont;
    win::UniqueFont m_alertFont;
    win::UniqueBrush m_newBrush;
    win::UniqueBrush m_dupeBrush;
    win::UniqueBrush m_warningBrush;
    TypedStation::Alert m_alertKind = TypedStation::Alert::None;
    // The grid's row of the typed station's oblast, if it has one.
    std::optional<std::size_t> m_typedRow;
    std::string m_rateText;
    std::string m_alertText;
    std::string m_historyText;
    std::string m_warningText;
    std::string m_pendingWarning;
    bool m_warningPending = false;
    std::string m_dxccTitleText;
    std::vector<std::string> m_dxccShown;
    std::optional<Band> m_emphasised;
    PerBand<std::int32_t> m_dxcc;
    std::vector<CheckGrid::Cell> m_pendingCells;
    bool m_refreshPosted = false;
    std::string m_headlineText;
    std::string m_stationText;
};

} // namespace morvel
