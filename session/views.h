// The session's views and what it needs from the platform: the windows it
// makes and ends, as the session sees them, and the one interface through
// which it reaches the platform. Portable: the Windows implementations are
// the three windows of ui/ and the platform of plugin/.
#pragma once

#include "db/log_query.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace morvel {

struct TQSOData;

// What a recalculation from the log needs from whoever runs it (a program
// that recalculates on its own, such as morvel-score, gives only this).
class RecalcCaller {
public:
    virtual ~RecalcCaller() = default;

    // Handles every pending window message of the thread, the host's included.
    virtual void ProcessMessages() = 0;
    // The statistics text, replaced.
    virtual void SetStatisticText(const std::string& text) = 0;
    // The enabled state of "Recalc Statistic" as the button shows it.
    virtual void SetRecalcEnabled(bool enabled) = 0;
};

// The main window: the statistics text, the "Recalc Statistic" button and the
// stored settings.
class MainView {
public:
    virtual ~MainView() = default;

    // The window's handle as _Run answers it.
    virtual std::uintptr_t WindowHandle() const = 0;
    virtual bool Visible() const = 0;
    // An already visible window brought up.
    virtual void BringToTop() = 0;
    // Reads the stored placement into the hidden window: true when it is to
    // be shown maximised.
    virtual bool RestorePlacement() = 0;
    // Shown without taking the activation from the logger, then minimised
    // when asked.
    virtual void Show(bool maximised, bool minimise) = 0;
    virtual void Minimise() = 0;

    virtual void SetStatisticText(const std::string& text) = 0;
    // After a contact: the statistics text is to be made from the statistics
    // when it is next shown.
    virtual void StatisticChanged() = 0;
    virtual void SetRecalcEnabled(bool enabled) = 0;
    // Writes the settings that changed (CurrentBand among them).
    virtual void WriteSettings() = 0;

    // The close: the statistics text as it stood made readable, the settings
    // saved, the window hidden.
    virtual void Close() = 0;
    // A close or a destruction that came while busy, sent to the window again.
    virtual void PostClose() = 0;
    virtual void PostDestroy() = 0;
    // Destroyed now; the session hears of it through MainEnded.
    virtual void End() = 0;
};

// The "Multipliers" window.
class BandView {
public:
    virtual ~BandView() = default;

    // Closed by the operator and waiting for its destruction: not the open one.
    virtual bool Closed() const = 0;
    // The window made, shown on the stored band (it is the session's open
    // one by then).
    virtual void Show() = 0;
    // Band n is the selected one: a band 1-9 is shown selected, any other n
    // leaves the selection as it is; the list is drawn again.
    virtual void ShowBand(int n) = 0;
    // Destroyed now, with the main window; the session forgets it first.
    virtual void End() = 0;
};

// The multiplier check: a window that shows the whole scoring state.
class CheckView {
public:
    virtual ~CheckView() = default;

    virtual bool Closed() const = 0;
    // The open window brought to the front.
    virtual void BringUp() = 0;
    // A contact the exports counted (the result as _AddQSO answers it).
    virtual void ContactCounted(const TQSOData& rec, std::int32_t result) = 0;
    // The state was rebuilt by a recalculation, or dropped.
    virtual void StateChanged() = 0;
    // The station being typed, or the band chosen in the multipliers window,
    // changed.
    virtual void StationChanged() = 0;
    // Destroyed now, with the main window; the session forgets it first.
    virtual void End() = 0;
};

class Session;

// What a running session is made of, for the host's record: the log query on
// its connection and the oblast file's lines.
struct SessionParts {
    std::unique_ptr<LogQuery> query;
    std::vector<std::string> domLines; // none when there is no file
    std::string domFilePath;           // where it was looked for
};

// The platform, as the session reaches it.
class Platform {
public:
    virtual ~Platform() = default;

    virtual void ProcessMessages() = 0;
    // Shows a failure to the operator.
    virtual void ShowFailure(std::string_view message) = 0;
    // The parts for the record (its Connection); throws Error when the oblast
    // file exists but cannot be read.
    virtual SessionParts Compose(const TQSOData& rec) = 0;
    // The windows, made hidden for the session (the multiplier check is
    // shown); each throws Error when it cannot be made, and tells the session
    // of its destruction.
    virtual MainView& MakeMainWindow(Session& session) = 0;
    virtual BandView& MakeMultipliersWindow(Session& session) = 0;
    virtual CheckView& MakeCheckWindow(Session& session) = 0;
};

} // namespace morvel
