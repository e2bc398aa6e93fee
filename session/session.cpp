#include "session/session.h"

#include "oblast/oblast.h"
#include "session/bands.h"
#include "session/recalc.h"

#include <exception>
#include <utility>

namespace morvel {

struct Session::State {
    State(const KeyEquality& keys, SessionParts& parts)
        : scoring(keys), logQuery(std::move(parts.query)), domLines(std::move(parts.domLines)) {}

    TScoring scoring;
    std::unique_ptr<LogQuery> logQuery;
    std::vector<std::string> domLines;
};

// Code that may hand the thread to others: what comes meanwhile waits for the
// outermost one to return.
class Session::Busy {
public:
    explicit Busy(Session& session) : m_session(session) { ++m_session.m_busy; }
    ~Busy() {
        if (--m_session.m_busy == 0) {
            m_session.LeaveBusy();
        }
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    Session& m_session;
};

// A recalculation's caller: the platform's pump, and the main window it began
// for while that is the session's.
class Session::Recalculation final : public RecalcCaller {
public:
    explicit Recalculation(Session& session) : m_session(session), m_main(session.m_main) {}

    void ProcessMessages() override { m_session.m_platform.ProcessMessages(); }
    void SetStatisticText(const std::string& text) override {
        if (MainView* main = Main()) {
            main->SetStatisticText(text);
        }
    }
    void SetRecalcEnabled(bool enabled) override {
        if (MainView* main = Main()) {
            main->SetRecalcEnabled(enabled);
        }
    }

private:
    MainView* Main() const { return m_main == m_session.m_main ? m_main : nullptr; }

    Session& m_session;
    MainView* m_main;
};

Session::Session(Platform& platform, const KeyEquality& keys, TQSOData& workingRecord)
    : m_platform(platform), m_keys(keys), m_working(workingRecord) {}

Session::~Session() {
    if (m_main != nullptr) {
        m_main->End(); // MainEnded ends the views
    }
    EndViews();
    while (!m_ended.empty()) {
        MainView* main = m_ended.back().main;
        main->End();
        if (!m_ended.empty() && m_ended.back().main == main) {
            m_ended.pop_back(); // it did not go
        }
    }
}

MainView* Session::Run(const TQSOData* data) {
    if (m_phase == Phase::Ending) {
        // The ended window goes when its destroy message comes, as it would
        // have; the new one does not wait for it.
        SetAside();
    }
    if (m_phase == Phase::Stopped) {
        try {
            MakeMain(data);
        } catch (const std::exception& e) {
            // The host is no C++ program: the failure is shown, not thrown.
            m_platform.ShowFailure(e.what());
            return nullptr;
        }
    }
    Show();
    // A release or a close during the show has ended it.
    return Running() ? m_main : nullptr;
}

void Session::MakeMain(const TQSOData* data) {
    // From here on the exports and the windows read the contact from the
    // module's copy of the record, never from the host's.
    CopyRecord(m_working, data);
    SessionParts parts = m_platform.Compose(m_working);
    m_state = std::make_unique<State>(m_keys, parts);
    m_domFilePath = std::move(parts.domFilePath);
    m_currentBand = "0";
    m_typed.reset();
    m_rate = RateMeter(m_clock());
    m_pending = 0;
    m_recalcEnabled = true;
    try {
        m_main = &m_platform.MakeMainWindow(*this);
    } catch (...) {
        m_state.reset();
        throw;
    }
    m_phase = Phase::Running;
}

void Session::SetAside() {
    EndViews();
    Ended ended;
    ended.main = m_main;
    ended.state = std::move(m_state);
    ended.destroyPending = (m_pending & kDestroy) != 0;
    m_ended.push_back(std::move(ended));
    m_main = nullptr;
    m_pending = 0;
    m_phase = Phase::Stopped;
}

void Session::EndViews() {
    // Ending a view makes it forget itself: the lists are emptied first.
    for (BandView* view : std::exchange(m_bandViews, {})) {
        view->End();
    }
    for (CheckView* view : std::exchange(m_checkViews, {})) {
        view->End();
    }
}

void Session::Release() {
    if (!Running()) {
        return;
    }
    m_phase = Phase::Ending;
    m_main->PostDestroy();
}

void Session::Show() {
    const Busy busy(*this);
    if (m_main == nullptr) {
        return;
    }
    if (m_main->Visible()) {
        m_main->BringToTop();
        return;
    }
    if (m_phase != Phase::Running) {
        return; // a _Run while the first show recalculates, or an ended window
    }
    m_phase = Phase::Showing;
    MainView* const main = m_main;
    const bool maximised = main->RestorePlacement();
    // The show handler: a window going from hidden to shown recalculates.
    Recalculate();
    if (m_main != main) {
        return; // it ended, and a new one was made meanwhile
    }
    if (m_phase == Phase::Showing) {
        m_phase = Phase::Running;
    }
    const bool minimise = Take(kMinimise);
    if (m_phase == Phase::Running && (m_pending & (kClose | kDestroy)) == 0) {
        main->Show(maximised, minimise);
    }
}

void Session::RecalcStatistic(const MainView& from) {
    if (&from == m_main) {
        Recalculate();
    }
}

void Session::Recalculate() {
    const Busy busy(*this);
    if (!m_state || !m_recalcEnabled) {
        return; // with m_recalcEnabled false one runs: this comes from its pumps
    }
    State& state = *m_state; // kept until the busy code returns, even if dropped
    try {
        Recalculation caller(*this);
        Recalc recalc{state.scoring, m_working, *state.logQuery, caller, m_recalcEnabled};
        // An open multipliers window follows the band of each row counted.
        recalc.rowCounted = [this, &state](const TQSOData& row, std::int32_t counted) {
            if (m_state.get() == &state) {
                Follow(row, counted);
            }
        };
        RecalcStatisticExecute(recalc);
    } catch (const std::exception& e) {
        StateChanged();
        m_platform.ShowFailure(e.what());
        return;
    }
    StateChanged();
}

void Session::AutoRecalc(const MainView& from) {
    // Other positions' contacts counted without a hand on the button; a
    // recalculation under way lets this one pass.
    if (&from == m_main && m_busy == 0 && m_main->Visible()) {
        Recalculate();
    }
}

void Session::CloseButton(const MainView& from) {
    if (&from != m_main) {
        return;
    }
    if (!m_main->Visible()) {
        if (m_phase == Phase::Showing) {
            m_pending |= kMinimise; // the first show minimises it
            return;
        }
        Show();
        if (m_main == nullptr || !m_main->Visible()) {
            return; // released or closed meanwhile
        }
    }
    m_main->Minimise();
}

void Session::CloseArrived(const MainView& from) {
    if (&from != m_main) {
        DestroyArrived(from); // an ended window: it is going anyway
        return;
    }
    if (m_busy > 0) {
        m_pending |= kClose;
        return;
    }
    // The table as it stood stays readable; the state goes; the window hides
    // and is destroyed once the current message has been handled.
    m_main->Close();
    DropState();
    m_phase = Phase::Ending;
    m_main->PostDestroy();
}

void Session::DestroyArrived(const MainView& from) {
    if (&from != m_main) {
        for (Ended& ended : m_ended) {
            if (ended.main == &from) {
                if (m_busy > 0) {
                    ended.destroyPending = true;
                } else {
                    ended.main->End();
                }
                return;
            }
        }
        return;
    }
    if (m_busy > 0) {
        m_pending |= kDestroy;
        return;
    }
    m_main->End();
}

void Session::MainEnded(const MainView& main) {
    if (&main != m_main) {
        // One set aside, or one that was never the session's: its making failed.
        for (auto ended = m_ended.begin(); ended != m_ended.end(); ++ended) {
            if (ended->main == &main) {
                std::unique_ptr<State> state = std::move(ended->state);
                m_ended.erase(ended);
                Free(std::move(state));
                return;
            }
        }
        return;
    }
    m_main = nullptr;
    EndViews(); // the views go with the main window
    DropState();
    m_phase = Phase::Stopped;
    m_pending = 0;
}

void Session::LeaveBusy() {
    for (std::unique_ptr<State>& state : std::exchange(m_leftStates, {})) {
        Free(std::move(state));
    }
    for (Ended& ended : m_ended) {
        if (std::exchange(ended.destroyPending, false)) {
            ended.main->PostDestroy();
        }
    }
    const bool write = Take(kWriteSettings);
    const bool close = Take(kClose);
    const bool release = Take(kDestroy);
    if (m_main == nullptr) {
        return;
    }
    if (write && Running()) {
        m_main->WriteSettings();
    }
    if (close) {
        m_main->PostClose();
    }
    if (release) {
        m_main->PostDestroy();
    }
}

bool Session::Take(Pending action) {
    const bool pending = (m_pending & action) != 0;
    m_pending &= ~static_cast<unsigned>(action);
    return pending;
}

void Session::DropState() {
    if (m_state) {
        Free(std::move(m_state));
        StateChanged();
    }
}

void Session::Free(std::unique_ptr<State> state) {
    if (!state) {
        return;
    }
    if (m_busy > 0) {
        // A recalculation under way may still read it: it goes once that returns.
        m_leftStates.push_back(std::move(state));
    } else {
        state->logQuery->Close();
    }
}

std::int32_t Session::AddQSO(const TQSOData& rec) {
    if (!Running() || !m_state) {
        return kNotRunning;
    }
    const std::int32_t result = m_state->scoring.CountQSO(rec, true);
    Follow(rec, result);
    m_rate.Count(rec.DigiBand.View(), m_clock());
    m_main->StatisticChanged();
    for (CheckView* view : m_checkViews) {
        view->ContactCounted(rec, result);
    }
    return result;
}

std::int32_t Session::GetScore(const TQSOData& rec) {
    if (!Running() || !m_state) {
        return kNotRunning;
    }
    // The station being typed, for the multiplier check.
    StationTyped(rec);
    return m_state->scoring.CountQSO(rec, false);
}

std::string Session::GrabOblast(const TQSOData& rec) {
    if (!Running() || !m_state) {
        return std::string();
    }
    StationTyped(rec);
    return GrabObl(m_state->domLines, rec);
}

void Session::StationTyped(const TQSOData& rec) {
    if (!m_typed) {
        m_typed = std::make_unique<TQSOData>();
    }
    CopyRecord(*m_typed, &rec);
    for (CheckView* view : m_checkViews) {
        view->StationChanged();
    }
}

void Session::SetClock(Clock clock) {
    m_clock = std::move(clock);
    m_rate = RateMeter(m_clock());
}

std::string Session::RateText() {
    return m_rate.Text(m_clock());
}

void Session::StateChanged() {
    for (CheckView* view : m_checkViews) {
        view->StateChanged();
    }
}

void Session::OpenMultipliers(const MainView& from) {
    if (&from != m_main || DomWindow() != nullptr) {
        return; // the open one is left where it is
    }
    BandView& view = m_platform.MakeMultipliersWindow(*this);
    m_bandViews.push_back(&view);
    view.Show();
}

void Session::OpenCheck(const MainView& from) {
    if (&from == m_main) {
        OpenCheck();
    }
}

void Session::OpenCheck() {
    for (CheckView* view : m_checkViews) {
        if (!view->Closed()) {
            view->BringUp();
            return;
        }
    }
    m_checkViews.push_back(&m_platform.MakeCheckWindow(*this));
}

void Session::Forget(const BandView& view) {
    std::erase(m_bandViews, &view);
}

void Session::Forget(const CheckView& view) {
    std::erase(m_checkViews, &view);
}

BandView* Session::DomWindow() const {
    for (BandView* view : m_bandViews) {
        if (!view->Closed()) {
            return view;
        }
    }
    return nullptr;
}

void Session::Follow(const TQSOData& rec, std::int32_t counted) {
    if (counted != kOnePoint) {
        return;
    }
    if (const std::optional<Band> band = Band::Followed(rec.DigiBand.View())) {
        if (BandView* view = DomWindow()) {
            Select(view, band->Number());
        }
    }
}

void Session::SelectBand(int n) {
    Select(DomWindow(), n);
}

void Session::Select(BandView* view, int n) {
    if (view != nullptr) {
        view->ShowBand(n);
    }
    std::string band = std::to_string(n);
    // The multipliers window follows nearly every contact to the band it is
    // on already: only a band that changes is written.
    if (Running() && m_state && band != m_currentBand) {
        m_currentBand = std::move(band);
        if (m_busy > 0) {
            m_pending |= kWriteSettings; // a recalculation moves the band for nearly every row
        } else {
            m_main->WriteSettings();
        }
    }
    for (CheckView* check : m_checkViews) {
        check->StationChanged();
    }
}

const TScoring* Session::Scoring() const {
    return Running() && m_state ? &m_state->scoring : nullptr;
}

const std::vector<std::string>* Session::DomLines() const {
    return Running() && m_state ? &m_state->domLines : nullptr;
}

const WorkedList* Session::OblWorked() const {
    return Running() && m_state ? &m_state->scoring.OblWorked() : nullptr;
}

const std::vector<TStatistic>* Session::StatList() const {
    return m_state ? &m_state->scoring.StatList() : nullptr;
}

} // namespace morvel
