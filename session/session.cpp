#include "session/session.h"

#include "oblast/oblast.h"
#include "session/bands.h"
#include "session/recalc.h"

#include <exception>
#include <utility>

namespace morvel {

struct Session::State {
    State(const KeyEquality& keys, std::unique_ptr<LogQuery> query, std::vector<std::string> lines)
        : scoring(keys), logQuery(std::move(query)), domLines(std::move(lines)) {}

    TScoring scoring;
    std::unique_ptr<LogQuery> logQuery;
    std::vector<std::string> domLines;
};

Session::Session(SessionPort& port, const KeyEquality& keys, std::unique_ptr<LogQuery> query,
                 std::vector<std::string> domLines, std::string domFilePath)
    : m_port(port), m_state(std::make_unique<State>(keys, std::move(query), std::move(domLines))),
      m_domFilePath(std::move(domFilePath)) {
    // Every counted contact takes an open multipliers window to its band.
    m_state->scoring.SetBandFollower([this](const TQSOData& rec) {
        if (const std::optional<int> band = FollowedBand(rec.DigiBand.View())) {
            if (BandView* view = OpenView()) {
                Select(view, *band);
            }
        }
    });
}

Session::~Session() {
    // Ending a view detaches it: work on a copy.
    for (BandView* view : std::vector<BandView*>(m_views)) {
        view->SessionEnded();
    }
    m_views.clear();
    for (CheckView* view : std::vector<CheckView*>(m_checks)) {
        view->SessionEnded();
    }
    m_checks.clear();
}

Session::Busy::Busy(Session& session) : m_session(session) {
    ++m_session.m_busy;
}

Session::Busy::~Busy() {
    if (--m_session.m_busy == 0) {
        m_session.LeaveBusy();
    }
}

void Session::LeaveBusy() {
    if (std::exchange(m_settingsPending, false)) {
        m_port.WriteSettings();
    }
    if (std::exchange(m_closePending, false)) {
        m_port.PostClose();
    }
    if (std::exchange(m_releasePending, false)) {
        m_port.PostRelease();
    }
}

std::int32_t Session::AddQSO(const TQSOData& rec) {
    if (!m_state) {
        return 0;
    }
    const std::int32_t result = m_state->scoring.CountQSO(rec, true);
    m_rate.Count(rec.DigiBand.View(), m_clock());
    m_port.StatisticChanged();
    for (CheckView* view : m_checks) {
        view->ContactCounted(rec, result);
    }
    return result;
}

void Session::SetClock(Clock clock) {
    m_clock = std::move(clock);
    m_rate = RateMeter(m_clock());
}

std::string Session::RateText() {
    return m_rate.Text(m_clock());
}

std::int32_t Session::GetScore(const TQSOData& rec) const {
    return m_state ? m_state->scoring.CountQSO(rec, false) : 0;
}

std::string Session::GrabOblast(const TQSOData& rec) const {
    return m_state ? GrabObl(m_state->domLines, rec) : std::string();
}

void Session::RecalcStatistic(TQSOData& rec) {
    const Busy busy(*this);
    if (!m_state || !m_recalcEnabled) {
        return; // with m_recalcEnabled false one runs: this comes from its pumps
    }
    try {
        Recalc recalc{m_state->scoring, rec, *m_state->logQuery, m_port, m_recalcEnabled};
        RecalcStatisticExecute(recalc);
    } catch (const std::exception& e) {
        StateChanged();
        m_port.ShowFailure(e.what());
        return;
    }
    StateChanged();
}

void Session::StateChanged() {
    for (CheckView* view : m_checks) {
        view->StateChanged();
    }
}

bool Session::BeginShow() {
    if (m_showing) {
        return false;
    }
    m_showing = true;
    return true;
}

Session::ShowOutcome Session::EndShow() {
    m_showing = false;
    ShowOutcome outcome;
    outcome.show = !m_releasePending && !m_closePending;
    outcome.minimise = outcome.show && m_minimiseAfterShow;
    m_minimiseAfterShow = false;
    return outcome;
}

bool Session::MinimiseAfterShow() {
    if (!m_showing) {
        return false;
    }
    m_minimiseAfterShow = true;
    return true;
}

bool Session::ReleaseNow() {
    if (m_busy > 0) {
        m_releasePending = true;
        return false;
    }
    return true;
}

bool Session::CloseNow() {
    if (m_busy > 0) {
        m_closePending = true;
        return false;
    }
    return true;
}

void Session::DropState() {
    if (m_state) {
        m_state->logQuery->Close();
        m_state.reset();
        StateChanged();
    }
}

void Session::SelectBand(int n) {
    Select(OpenView(), n);
}

void Session::Select(BandView* view, int n) {
    if (view != nullptr) {
        view->ShowBand(n);
    }
    std::string band = std::to_string(n);
    // The multipliers window follows nearly every contact to the band it is
    // on already: only a band that changes is written.
    if (!m_released && m_state && band != m_currentBand) {
        m_currentBand = std::move(band);
        if (m_busy > 0) {
            m_settingsPending = true; // a recalculation moves the band for nearly every row
        } else {
            m_port.WriteSettings();
        }
    }
    for (CheckView* check : m_checks) {
        check->StationChanged();
    }
}

void Session::AttachView(BandView& view) {
    m_views.push_back(&view);
}

void Session::DetachView(const BandView& view) {
    std::erase(m_views, &view);
}

BandView* Session::OpenView() const {
    for (BandView* view : m_views) {
        if (!view->Closed()) {
            return view;
        }
    }
    return nullptr;
}

void Session::AttachCheck(CheckView& view) {
    m_checks.push_back(&view);
}

void Session::DetachCheck(const CheckView& view) {
    std::erase(m_checks, &view);
}

void Session::StationTyped(const TQSOData& rec) {
    if (!m_typed) {
        m_typed = std::make_unique<TQSOData>();
    }
    CopyRecord(*m_typed, &rec);
    for (CheckView* view : m_checks) {
        view->StationChanged();
    }
}

const TScoring* Session::Scoring() const {
    return m_state && !m_released ? &m_state->scoring : nullptr;
}

const std::vector<std::string>* Session::DomLines() const {
    return m_state && !m_released ? &m_state->domLines : nullptr;
}

const WorkedList* Session::OblWorked() const {
    return m_state && !m_released ? &m_state->scoring.OblWorked() : nullptr;
}

const std::vector<TStatistic>* Session::StatList() const {
    return m_state ? &m_state->scoring.StatList() : nullptr;
}

} // namespace morvel
