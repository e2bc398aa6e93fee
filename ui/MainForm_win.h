// TfmMainForm: the plug-in's main window and the owner of all scoring state.
#pragma once

#include "session/session.h"
#include "ui/form_storage_win.h"
#include "ui/form_win.h"
#include "ui/win/handles.h"
#include "ui/win/subclass_win.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel {

class TfmMainForm final : public TForm, private win::SubclassHandler, private SessionPort {
public:
    // Builds the (hidden) window from the host's record; the record is copied
    // into WorkingRecord on the way. A failure (the oblast file exists but
    // cannot be read) destroys the half-built window and throws Error.
    // openers: how the "Multipliers" button and the system menu's
    // "Multiplier check" open their windows on the session.
    static TfmMainForm* Create(const TQSOData* data, const ViewOpeners& openers);

    // Shows the window; going from hidden to shown reads the stored placement
    // and recalculates from the log. An already visible window is only
    // brought up.
    void ShowForm();

    // Destroys the window once the current message has been handled (and once
    // a running recalculation has returned).
    void ScheduleRelease();

    // The scoring state, the stored CurrentBand and the rules of the
    // recalculation: the exports and the multipliers window work on it.
    morvel::Session& Session() { return *m_session; }

private:
    TfmMainForm();
    ~TfmMainForm() override;

    void Construct(const TQSOData* data, const ViewOpeners& openers);
    // The choices of the system menu: "Always on top", "Recalculate every 5
    // minutes" (a timer); applied as stored when the window is made.
    void ApplyChoices();
    void SetAutoRecalc(bool on, bool store);
    bool OnMenuCommand(UINT command);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OrdinaryOwnMessage(UINT message) const override;
    void OnFinalDestroy() override { delete this; }

    // TForm
    void MakeFonts() override;
    void MakeControls() override;
    void LayOut() override;
    void OnCommand(int id, int code);
    void FormShow();
    void FormCloseQuery();
    void FormClose();
    void OnCloseButton();
    void OnClose();
    void OnRelease();
    void OnDestroy();
    // Released by _Release, or without a session (before the window is built,
    // after it is destroyed): nothing of the session is read or written.
    bool Released() const { return m_session == nullptr || m_session->Released(); }

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

    // SessionPort
    void ProcessMessages() override;
    void ShowFailure(std::string_view message) override;
    void SetStatisticText(const std::string& text) override;
    void StatisticChanged() override;
    void SetRecalcEnabled(bool enabled) override;
    // Writes the settings that changed; nothing once released.
    void WriteSettings() override;
    void PostClose() override;
    void PostRelease() override;

    std::unique_ptr<morvel::Session> m_session;
    bool m_autoRecalc = false;
    ui::FormStorage m_storage{"TfmMainForm", true};
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
