// The plug-in's session: everything the main window owns that is not a
// window. The scoring state (the contact register, the band statistics and
// the worked lists), the oblast file's lines, the log query on the host's
// connection, the stored value CurrentBand, and the rules for what may happen
// while code runs that hands the thread to others: a recalculation pumps
// messages, and the host's events (the exports among them, a release or a
// close) run in the middle of it.
//
// Portable. The windows reach the platform (the message pump, the message
// box, the statistics text, the settings store, their own deferred actions)
// through one port, SessionPort; the multipliers window is a BandView of the
// session. The functions take the contact as a parameter: the module's
// WorkingRecord.
#pragma once

#include "contract/records.h"
#include "db/log_query.h"
#include "scoring/keys.h"
#include "scoring/scoring.h"
#include "session/multiplier_check.h"
#include "session/port.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvel {

// A multipliers window, as the session sees it.
class BandView {
public:
    virtual ~BandView() = default;

    // Closed by the operator and waiting for its destruction: not the open one.
    virtual bool Closed() const = 0;
    // Band n is the selected one: a band 1-9 is shown selected, any other n
    // leaves the selection as it is; the list is drawn again.
    virtual void ShowBand(int n) = 0;
    // The session ends (the main window is destroyed): the view goes with it,
    // now.
    virtual void SessionEnded() = 0;
};

// A window that shows the whole scoring state: the multiplier check.
class CheckView {
public:
    virtual ~CheckView() = default;

    // A contact the exports counted (the result as _AddQSO answers it).
    virtual void ContactCounted(const TQSOData& rec, std::int32_t result) = 0;
    // The state was rebuilt by a recalculation, or dropped.
    virtual void StateChanged() = 0;
    // The station being typed, or the band chosen in the multipliers window,
    // changed.
    virtual void StationChanged() = 0;
    // The session ends: the view goes with it, now.
    virtual void SessionEnded() = 0;
};

class Session;

// How the windows open the views of a session: the plug-in, which knows them
// all, gives them to the main window's session, so that no window includes
// another.
struct ViewOpeners {
    void (*multipliers)(Session& session) = nullptr; // btnOBL1Click
    void (*check)(Session& session) = nullptr;       // the multiplier check
};

class Session {
public:
    // domLines: the oblast file's lines, read from domFilePath (none when
    // there was no file); query: the log query on the host's connection.
    Session(SessionPort& port, const KeyEquality& keys, std::unique_ptr<LogQuery> query,
            std::vector<std::string> domLines, std::string domFilePath);
    // Ends every view, a closed one still waiting for its destruction too.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Marks code that may hand the thread to others (a recalculation, the
    // show): a release, a close or a settings write that comes meanwhile
    // takes effect once the outermost such code has returned, through the
    // port, in that order: settings, close, release.
    class Busy {
    public:
        explicit Busy(Session& session);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        Session& m_session;
    };
    bool IsBusy() const { return m_busy > 0; }

    // The exports, on the contact given: 0 or nothing without scoring state.
    // AddQSO counts (the statistics text follows, and an open multipliers
    // window the contact's band); GetScore only asks.
    std::int32_t AddQSO(const TQSOData& rec);
    std::int32_t GetScore(const TQSOData& rec) const;
    std::string GrabOblast(const TQSOData& rec) const;

    // The action "Recalc Statistic", from the show and the button: a busy
    // recalculation of the whole log, the rows passing through rec (the
    // working record). Ignored while one runs; a failure is shown through the
    // port.
    void RecalcStatistic(TQSOData& rec);
    bool RecalcEnabled() const { return m_recalcEnabled; }

    // The main window going from hidden to shown. BeginShow is false while a
    // first show runs already (a _Run that came during its recalculation).
    // EndShow: whether the window is to be shown now (no release or close
    // came meanwhile) and then minimised (its close button came meanwhile).
    bool BeginShow();
    struct ShowOutcome {
        bool show = false;
        bool minimise = false;
    };
    ShowOutcome EndShow();
    // The close button during the first show: false when none runs.
    bool MinimiseAfterShow();

    // _Release: from now on the views find no state to read and a band is
    // not stored.
    void MarkReleased() { m_released = true; }
    bool Released() const { return m_released; }
    // The release and the close messages: true when they take effect now,
    // false when busy (they are posted again once it has returned).
    bool ReleaseNow();
    bool CloseNow();
    // The close: closes the query and drops the scoring state.
    void DropState();

    // The stored value CurrentBand as text, "0" until one is stored: the main
    // window's settings store reads it in and writes it out.
    std::string& CurrentBand() { return m_currentBand; }
    // A band chosen or followed: the open view shows it, and it is stored as
    // CurrentBand and written, now or once the busy code has returned.
    // Nothing is stored once released or without scoring state.
    void SelectBand(int n);
    // The views read the session from AttachView until DetachView (at their
    // destruction); the open one is the one not closed.
    void AttachView(BandView& view);
    void DetachView(const BandView& view);
    BandView* OpenView() const;

    void SetOpeners(const ViewOpeners& openers) { m_openers = openers; }
    const ViewOpeners& Openers() const { return m_openers; }

    // The check views read the session from AttachCheck until DetachCheck.
    void AttachCheck(CheckView& view);
    void DetachCheck(const CheckView& view);
    const std::vector<CheckView*>& CheckViews() const { return m_checks; }

    // The station being typed: the record of the last _GetScore or
    // _GrabNumber (a copy); nothing until one came.
    void StationTyped(const TQSOData& rec);
    const TQSOData* TypedRecord() const { return m_typed.get(); }

    // The rate of the contacts the exports counted since the session began,
    // timed by the clock (a seam for the tests; the steady clock by default,
    // which begins the rate anew).
    using Clock = std::function<RateMeter::Clock::time_point()>;
    void SetClock(Clock clock);
    std::string RateText();

    // What the views read: nothing once released or without scoring state.
    const std::vector<std::string>* DomLines() const;
    const WorkedList* OblWorked() const;
    const TScoring* Scoring() const;
    // Where the oblast file was looked for.
    const std::string& DomFilePath() const { return m_domFilePath; }
    // The statistics as counted (for the text): nothing without state.
    const std::vector<TStatistic>* StatList() const;

private:
    struct State;

    void StateChanged();
    // SelectBand with the open view already looked up (or none).
    void Select(BandView* view, int n);
    void LeaveBusy();

    SessionPort& m_port;
    std::unique_ptr<State> m_state;
    std::string m_currentBand = "0";
    std::vector<BandView*> m_views;
    std::vector<CheckView*> m_checks;
    ViewOpeners m_openers;
    std::unique_ptr<TQSOData> m_typed;
    Clock m_clock = &RateMeter::Clock::now;
    RateMeter m_rate{m_clock()};
    std::string m_domFilePath;
    int m_busy = 0;
    bool m_recalcEnabled = true;
    bool m_showing = false;
    bool m_minimiseAfterShow = false;
    bool m_released = false;
    bool m_releasePending = false;
    bool m_closePending = false;
    bool m_settingsPending = false;
};

} // namespace morvel
