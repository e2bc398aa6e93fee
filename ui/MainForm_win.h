// TfmMainForm: the plug-in's main window and the owner of all scoring state.
#pragma once

#include "db/odbc_query.h"
#include "scoring/recalc.h"
#include "scoring/scoring.h"
#include "ui/form_storage_win.h"
#include "ui/form_win.h"
#include "ui/win/handles.h"
#include "ui/win/subclass_win.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel {

class TfmMainForm final : public TForm, private win::SubclassHandler, private RecalcWindow {
public:
    // Builds the (hidden) window from the host's record; the record is copied
    // into WorkingRecord on the way. A failure (the oblast file exists but
    // cannot be read) destroys the half-built window and throws Error.
    static TfmMainForm* Create(const TQSOData* data);

    // Shows the window; going from hidden to shown reads the stored placement
    // and recalculates from the log. An already visible window is only
    // brought up.
    void ShowForm();

    // Destroys the window once the current message has been handled (and once
    // a running recalculation has returned).
    void ScheduleRelease();

    // The scoring exports on WorkingRecord; 0 or empty without scoring state.
    std::int32_t AddQSO();
    std::int32_t GetScore();
    std::string GrabOblast() const;

    // The state the multipliers window reads; nullptr from _Release or the
    // close on.
    const std::vector<std::string>* DomLines() const;
    const WorkedList* OblWorked() const;
    ui::FormStorage& Storage() { return m_storage; }
    // Stores band as the value CurrentBand and writes it: now, or once a
    // recalculation running meanwhile has returned (it moves the band for
    // nearly every row). Nothing once released.
    void StoreCurrentBand(int band);

private:
    struct State;
    class BusyScope;

    TfmMainForm();
    ~TfmMainForm() override;

    void Construct(const TQSOData* data);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OrdinaryOwnMessage(UINT message) const override;
    void OnFinalDestroy() override { delete this; }

    // TForm
    void MakeFonts() override;
    void MakeControls() override;
    void LayOut() override;
    void OnCommand(int id, int code);
    void RunRecalcAction();
    void FormShow();
    void FormCloseQuery();
    void FormClose();
    void OnCloseButton();
    void OnClose();
    void OnRelease();
    void OnDestroy();
    void ShowDXList(const TQSOData& rec);
    // Writes the settings that changed; nothing once released.
    void WriteSettings();

    // The statistics text is written to the text area when the thread next
    // handles its messages, or at once when somebody reads or paints the
    // area: rewriting an edit control costs far more than scoring a contact.
    // After a contact only a mark is left; the table's text is made from the
    // band statistics when it is written, once for any number of contacts.
    void FlushStatisticText();
    void MarkStatisticStale();
    void ComposeStaleText();
    void PostFlush();
    // The text area's subclass: whoever reads or paints it gets the text first.
    std::optional<LRESULT> OnSubclassMessage(UINT_PTR id, HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) override;

    // RecalcWindow
    void ProcessMessages() override;
    bool RecalcEnabled() const override { return m_recalcEnabled; }
    void SetRecalcEnabled(bool enabled) override;
    void SetStatisticText(const std::string& text) override;

    std::unique_ptr<State> m_state;
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
    bool m_recalcEnabled = true;
    bool m_showing = false;
    bool m_minimisePending = false; // a close command came during the first show
    bool m_released = false;
    int m_busy = 0;
    bool m_releasePending = false;
    bool m_closePending = false;
    bool m_settingsPending = false; // a value to write once m_busy is back to 0
};

} // namespace morvel
