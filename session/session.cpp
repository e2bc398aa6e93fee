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

// A recalculation's caller: the platform's pump, and the main window while it
// lives.
class Session::Recalculation final : public RecalcCaller {
public:
    explicit Recalculation(Session& session) : m_session(session) {}

    void ProcessMessages() override { m_session.m_platform.ProcessMessages(); }
    void SetStatisticText(const std::string& text) override {
        if (m_session.m_main != nullptr) {
            m_session.m_main->SetStatisticText(text);
        }
    }
    void SetRecalcEnabled(bool enabled) override {
        if (m_session.m_main != nullptr) {
            m_session.m_main->SetRecalcEnabled(enabled);
        }
    }

private:
    Session& m_session;
};

Session::Session(Platform& platform, const KeyEquality& keys, TQSOData& workingRecord)
    : m_platform(platform), m_keys(keys), m_working(workingRecord) {}

Session::~Session() {
    if (m_main != nullptr) {
        m_main->End(); // MainEnded ends the views
    }
    for (BandView* view : std::exchange(m_bandViews, {})) {
        view->End();
    }
    for (CheckView* view : std::exchange(m_checkViews, {})) {
        view->End();
    }
}

MainView* Session::Run(const TQSOData* data) {
    if (m_phase == Phase::Ending) {
        if (m_busy > 0) {
            return nullptr; // the ended window's code still runs: it cannot go yet
        }
        m_main->End();
        if (m_main != nullptr) {
            return nullptr; // it did not go
        }
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

void Session::Release() {
    if (!Running()) {
        return;
    }
    m_phase = Phase::Ending;
    m_main->PostRelease();
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
    const bool maximised = m_main->RestorePlacement();
    // The show handler: a window going from hidden to shown recalculates.
    RecalcStatistic();
    if (m_phase == Phase::Showing) {
        m_phase = Phase::Running;
    }
    const bool minimise = Take(kMinimise);
    if (m_phase == Phase::Running && (m_pending & (kClose | kRelease)) == 0) {
        m_main->Show(maximised, minimise);
    }
}

void Session::RecalcStatistic() {
    const Busy busy(*this);
    if (!m_state || !m_recalcEnabled) {
        return; // with m_recalcEnabled false one runs: this comes from its pumps
    }
    State& state = *m_state; // kept until the busy code returns, even if dropped
    try {
        Recalculation caller(*this);
        Recalc recalc{state.scoring, m_working, *state.logQuery, caller, m_recalcEnabled};
        // An open multipliers window follows the band of each row counted.
        recalc.rowCounted = [this](const TQSOData& row, std::int32_t counted) {
            if (counted == kOnePoint) {
                if (const std::optional<int> band = FollowedBand(row.DigiBand.View())) {
                    if (BandView* view = DomWindow()) {
                        Select(view, *band);
                    }
                }
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

void Session::AutoRecalc() {
    // Other positions' contacts counted without a hand on the button; a
    // recalculation under way lets this one pass.
    if (m_busy == 0 && m_main != nullptr && m_main->Visible()) {
        RecalcStatistic();
    }
}

void Session::CloseButton() {
    if (m_main == nullptr) {
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

void Session::CloseArrived() {
    if (m_busy > 0) {
        m_pending |= kClose;
        return;
    }
    if (m_main == nullptr) {
        return;
    }
    // The table as it stood stays readable; the state goes; the window hides
    // and is destroyed once the current message has been handled.
    m_main->Close();
    DropState();
    m_phase = Phase::Ending;
    m_main->PostRelease();
}

void Session::ReleaseArrived() {
    if (m_busy > 0) {
        m_pending |= kRelease;
        return;
    }
    if (m_main != nullptr) {
        m_main->End();
    }
}

void Session::MainEnded(const MainView& main) {
    if (&main != m_main) {
        return; // a window that was never the session's: its making failed
    }
    m_main = nullptr;
    // The views go with the main window; ending one makes it forget itself.
    for (BandView* view : std::exchange(m_bandViews, {})) {
        view->End();
    }
    for (CheckView* view : std::exchange(m_checkViews, {})) {
        view->End();
    }
    DropState();
    m_phase = Phase::Stopped;
    m_pending = 0;
}

void Session::LeaveBusy() {
    if (m_leftState) {
        m_leftState->logQuery->Close();
        m_leftState.reset();
    }
    const bool write = Take(kWriteSettings);
    const bool close = Take(kClose);
    const bool release = Take(kRelease);
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
        m_main->PostRelease();
    }
}

bool Session::Take(Pending action) {
    const bool pending = (m_pending & action) != 0;
    m_pending &= ~static_cast<unsigned>(action);
    return pending;
}

void Session::DropState() {
    if (!m_state) {
        return;
    }
    if (m_busy > 0) {
        // A recalculation under way still reads it: it goes once that returns.
        m_leftState = std::move(m_state);
    } else {
        m_state->logQuery->Close();
        m_state.reset();
    }
    StateChanged();
}

std::int32_t Session::AddQSO(const TQSOData& rec) {
    if (!Running() || !m_state) {
        return kNotRunning;
    }
    const std::int32_t result = m_state->scoring.CountQSO(rec, true);
    if (result == kOnePoint) {
        // An open multipliers window follows the contact's band.
        if (const std::optional<int> band = FollowedBand(rec.DigiBand.View())) {
            if (BandView* view = DomWindow()) {
                Select(view, *band);
            }
        }
    }
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

void Session::OpenMultipliers() {
    if (DomWindow() != nullptr) {
        return; // the open one is left where it is
    }
    m_bandViews.push_back(&m_platform.MakeMultipliersWindow(*this));
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
