// The plug-in's session: the root that the six exports call. It owns the
// whole lifecycle - run, show, recalculation, close, release - as one state,
// and makes and ends its views (the main window, the multipliers window and
// the multiplier check) through the platform.
//
// While the main window lives, the session holds the scoring state (the
// contact register, the band statistics, the worked lists), the oblast
// file's lines, the log query on the host's connection, the stored value
// CurrentBand and the station being typed; it drops them with the main
// window.
//
// Code that hands the thread to others (a recalculation pumps messages, the
// show recalculates) makes the session busy: the host's events run in the
// middle of it, and a window's destruction, a close or a settings write that comes
// meanwhile is kept pending until the outermost such code has returned.
//
// Portable: the platform and the views are the interfaces of views.h.
#pragma once

#include "contract/contract.h"
#include "contract/records.h"
#include "scoring/keys.h"
#include "scoring/scoring.h"
#include "session/multiplier_check.h"
#include "session/views.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvel {

class Session {
public:
    // workingRecord: the module's copy of the last contact received, which
    // the exports fill and every recalculation reads its rows through.
    Session(Platform& platform, const KeyEquality& keys, TQSOData& workingRecord);
    // Ends every view.
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Where the session is.
    enum class Phase {
        Stopped, // no main window: the exports answer 0
        Showing, // the main window's first show recalculates
        Running,
        Ending, // released or closed: the main window waits for its destruction
    };
    Phase CurrentPhase() const { return m_phase; }
    bool Running() const { return m_phase == Phase::Showing || m_phase == Phase::Running; }
    // Whether main is the running main window (not an ended one).
    bool Runs(const MainView& main) const { return Running() && &main == m_main; }

    // What waits for the outermost busy code to return, in this order.
    enum Pending : unsigned {
        kWriteSettings = 1, // a band stored meanwhile
        kClose = 2,         // the close message came
        kDestroy = 4,       // the destroy message came
        kMinimise = 8,      // the close button came during the first show
    };

    // _Run: makes the main window for data unless one runs (then data is not
    // used), and shows it. The main window, or nothing when it could not be
    // made (the failure is shown) or a release or close ended it meanwhile.
    MainView* Run(const TQSOData* data);
    // _Release: from now on the exports answer 0 and the views find no state;
    // the main window is destroyed once the current message has been handled
    // (a destroy message posted to itself).
    void Release();

    // The exports, on the working record: 0 or nothing while not running.
    // AddQSO counts (the statistics text follows, and an open multipliers
    // window the contact's band); GetScore only asks; both and GrabOblast
    // note the station being typed first.
    std::int32_t AddQSO(const TQSOData& rec);
    std::int32_t GetScore(const TQSOData& rec);
    std::string GrabOblast(const TQSOData& rec);

    // The main window's events, from the window they came to. A main window
    // that has ended (released or closed) while a new one was made hears
    // nothing but its close and its destruction.
    // "Recalc Statistic": a busy recalculation of the whole log; ignored while
    // one runs; a failure is shown.
    void RecalcStatistic(const MainView& from);
    // The timer's: a recalculation unless one runs or the window is hidden.
    void AutoRecalc(const MainView& from);
    // The title bar's close button minimises; a hidden window is first shown.
    void CloseButton(const MainView& from);
    // The close and the destroy messages: they wait while busy.
    void CloseArrived(const MainView& from);
    void DestroyArrived(const MainView& from);
    // The main window is being destroyed: the views go with it, and the state.
    void MainEnded(const MainView& main);
    // btnOBL1Click: the multipliers window, unless one is open.
    void OpenMultipliers(const MainView& from);
    // The multiplier check, or the open one brought up.
    void OpenCheck(const MainView& from);
    void OpenCheck();
    // A view being destroyed: the session forgets it.
    void Forget(const BandView& view);
    void Forget(const CheckView& view);
    // The open multipliers window, or nothing.
    BandView* DomWindow() const;

    // A band chosen or followed: the open multipliers window shows it, and it
    // is stored as CurrentBand and written, now or once the busy code has
    // returned. Nothing is stored unless running.
    void SelectBand(int n);
    // The stored value CurrentBand as text, "0" until one is stored: the main
    // window's settings read it in and write it out.
    std::string& CurrentBand() { return m_currentBand; }

    bool IsBusy() const { return m_busy > 0; }
    bool RecalcEnabled() const { return m_recalcEnabled; }

    // The rate of the contacts the exports counted since the main window was
    // made, timed by the clock (a seam for the tests; the steady clock by
    // default, which begins the rate anew).
    using Clock = std::function<RateMeter::Clock::time_point()>;
    void SetClock(Clock clock);
    std::string RateText();

    // What the views read: nothing unless running.
    const std::vector<std::string>* DomLines() const;
    const WorkedList* OblWorked() const;
    const TScoring* Scoring() const;
    // The station being typed: the record of the last _GetScore or
    // _GrabNumber; nothing until one came.
    const TQSOData* TypedRecord() const { return m_typed.get(); }
    // Where the oblast file was looked for.
    const std::string& DomFilePath() const { return m_domFilePath; }
    // The statistics as counted, for the statistics text: nothing without
    // state (after the close).
    const std::vector<TStatistic>* StatList() const;
    const TQSOData& WorkingRecord() const { return m_working; }

private:
    struct State;
    class Busy;
    class Recalculation;
    // A main window that ended (released or closed), set aside when a new one
    // was made before its destroy message came: it waits for its destruction.
    struct Ended {
        MainView* main = nullptr;
        std::unique_ptr<State> state;
        bool destroyPending = false;
    };

    // The show: an already visible window is brought up; a hidden one reads
    // its stored placement and recalculates from the log first.
    void Show();
    void Recalculate();
    void SetAside();
    void EndViews();
    void Free(std::unique_ptr<State> state);

    void MakeMain(const TQSOData* data);
    void StationTyped(const TQSOData& rec);
    // A counted contact takes an open multipliers window to its band.
    void Follow(const TQSOData& rec, std::int32_t counted);
    void Select(BandView* view, int n);
    void StateChanged();
    void DropState();
    void LeaveBusy();
    bool Take(Pending action);

    Platform& m_platform;
    const KeyEquality& m_keys;
    TQSOData& m_working;
    Phase m_phase = Phase::Stopped;
    unsigned m_pending = 0;
    int m_busy = 0;
    bool m_recalcEnabled = true;
    MainView* m_main = nullptr;
    std::unique_ptr<State> m_state;
    // A state dropped while busy code still reads it: freed once it returns.
    std::vector<std::unique_ptr<State>> m_leftStates;
    std::vector<Ended> m_ended;
    std::vector<BandView*> m_bandViews;
    std::vector<CheckView*> m_checkViews;
    std::string m_currentBand = "0";
    std::string m_domFilePath;
    std::unique_ptr<TQSOData> m_typed;
    Clock m_clock = &RateMeter::Clock::now;
    RateMeter m_rate{m_clock()};
};

} // namespace morvel
