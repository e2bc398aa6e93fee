// TfmMainForm: the plug-in's main window, the session's main view: the
// statistics text, "Recalc Statistic" and "Multipliers", and the settings
// that keep CurrentBand.
#pragma once

#include "session/session.h"
#include "ui/form_win.h"
#include "ui/win/handles.h"
#include "ui/win/subclass_win.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel {

class TfmMainForm final : public TForm, private win::SubclassHandler, public MainView {
public:
    // Makes the (hidden) window of the session's running main window: its
    // caption from the working record, its settings and choices as stored.
    // Throws Error; a half-made window is destroyed.
    static TfmMainForm& Create(Session& session);

private:
    explicit TfmMainForm(Session& session);
    ~TfmMainForm() override;

    // The choices of the system menu: "Always on top", "Recalculate every 5
    // minutes" (a timer); applied as stored when the window is made.
    void ApplyChoices();
    void SetAutoRecalc(bool on, bool store);
    bool OnMenuCommand(UINT command);
    LRESULT FormMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OrdinaryOwnMessage(UINT message) const override;
    void OnFinalDestroy() override { delete this; }

    // TForm
    void MakeFonts() override;
    void MakeControls() override;
    void LayOut() override;
    void OnClose() override;
    void OnDestroyMessage() override;
    void OnDestroy() override;
    bool FollowsPlacement() const override { return m_session.Runs(*this); }
    void OnCommand(int id, int code);

    // The statistics text is written to the text area when the thread next
    // handles its messages, or at once when somebody reads or paints the
    // area: rewriting an edit control costs far more than scoring a contact.
    // After a contact only a mark is left; the table's text is made from the
    // band statistics when it is written, once for any number of contacts.
    void FlushStatisticText();
    void ComposeStaleText();
    void PostFlush();
    // The text area's subclass: whoever reads or paints it gets the text first.
    std::optional<LRESULT> OnSubclassMessage(UINT_PTR id, HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) override;

    // MainView
    std::uintptr_t WindowHandle() const override;
    bool Visible() const override;
    void BringToTop() override;
    bool RestorePlacement() override;
    void Show(bool maximised, bool minimise) override;
    void Minimise() override;
    void SetStatisticText(const std::string& text) override;
    void StatisticChanged() override;
    void SetRecalcEnabled(bool enabled) override;
    void WriteSettings() override;
    void Close() override;
    void PostClose() override;
    void PostDestroy() override;
    void End() override;

    morvel::Session& m_session;
    bool m_autoRecalc = false;
    HWND m_statistic = nullptr;
    HWND m_panel = nullptr;
    HWND m_recalcButton = nullptr;
    HWND m_multipliersButton = nullptr;
    win::UniqueFont m_formFont;
    win::UniqueFont m_memoFont;
    std::optional<std::string> m_pendingText;
    bool m_statisticStale = false; // m_pendingText is to be made from the statistics
    bool m_flushPosted = false;
};

} // namespace morvel
