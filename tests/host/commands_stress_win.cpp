// Generated contacts. addmany: _AddQSO for many of them. Stress: host events
// fired from posted messages and a timer while the thread handles messages,
// so that most land inside recalculations; then the plug-in is brought to
// run, and the statistics it shows must be those of a recalculation from the
// log: every contact added was logged first.
#include "contract/contract.h"
#include "contract/text.h"
#include "tests/host/commands_win.h"
#include "tests/host/stress.h"
#include "tools/loggen/contacts.h"
#include "tools/morvel-host/multipliers_win.h"
#include "ui/control_ids.h"

#include <algorithm>
#include <array>
#include <exception>
#include <utility>
#include <vector>

namespace morvel::host {

namespace {

// The stress posts its events a batch at a time, so that an event that
// recalculates finds the rest of its batch waiting, and runs a timer as fast
// as the system allows, whose ticks come up in the middle of a
// recalculation, after the log has been read. Events nest (each may
// recalculate, and each recalculation handles messages) at most so deep;
// past that they are left out. The events are bounded in number as well as
// in time, and the contacts logged are drawn from a pool that starts again
// when used up (its contacts are then logged twice, as duplicates).
constexpr int kStressBatch = 5;
// Every so many batches, between two of them, the statistics are compared
// with a recalculation's (and once more at the end).
constexpr std::uint64_t kStressCheckEvery = 2;
constexpr UINT kStressTimerMs = 1;
constexpr int kMaxStressDepth = 6;
constexpr std::uint64_t kMaxStressEvents = 1'000'000;
constexpr std::size_t kStressContacts = 20'000;

// Counts up while it lives: events nested, or host calls that recalculate
// under way.
class CountScope {
public:
    explicit CountScope(int& count) : m_count(count) { ++m_count; }
    ~CountScope() { --m_count; }
    CountScope(const CountScope&) = delete;
    CountScope& operator=(const CountScope&) = delete;

private:
    int& m_count;
};

} // namespace

// What a stress did, for standard error and for its verdict.
struct StressRun {
    StressRun(std::uint64_t seedValue, std::uint32_t ms)
        : plan(seedValue), seed(seedValue), milliseconds(ms), start(GetTickCount()) {}

    bool Over() const {
        return events >= kMaxStressEvents || GetTickCount() - start >= milliseconds;
    }

    StressPlan plan;
    std::uint64_t seed;
    std::uint32_t milliseconds;
    DWORD start; // GetTickCount: the difference is right across its wrap
    std::vector<loggen::Contact> contacts;
    std::size_t logged = 0; // contacts taken from the pool for "log"
    bool running = false;   // run, and not released since
    bool finished = false;
    int depth = 0;
    int outstanding = 0; // posted, not handled yet

    std::uint64_t events = 0;
    std::uint64_t posted = 0;
    std::uint64_t timer = 0;
    std::uint64_t interleaved = 0; // during a recalculation
    std::uint64_t afterRead = 0;   // of those, once it had read the log
    std::uint64_t tooDeep = 0;
    std::uint64_t releases = 0;
    std::array<std::uint64_t, kStressActions> byAction{};
    std::uint64_t logFailures = 0;
    std::string firstLogFailure;
    std::uint64_t runFailures = 0;
    std::string firstError; // an event that could not be carried out

    bool paused = false; // events held back while the statistics are checked
    std::uint64_t checks = 0;
    std::uint64_t disabledButtons = 0; // "Recalc Statistic" disabled at a check
    std::uint64_t mismatches = 0;
    std::uint64_t mismatchAfter = 0; // events before the first mismatch
    std::string before;              // the first statistics that differed
    std::string after;               // and the recalculation's
};

namespace {

// Only a window the operator could click: a closed one may still be there,
// hidden, until its destruction comes up.
HWND VisibleMultipliersWindow() {
    const HWND multipliers = FindMultipliersWindow();
    return multipliers != nullptr && IsWindowVisible(multipliers) ? multipliers : nullptr;
}

void ReportStress(const Host& host, const StressRun& run) {
    std::string text =
        "stress seed " + std::to_string(run.seed) + ", " + std::to_string(run.milliseconds) +
        " ms: " + std::to_string(run.events) + " events (" + std::to_string(run.posted) +
        " posted, " + std::to_string(run.timer) + " from the timer), " +
        std::to_string(run.interleaved) + " interleavings (" + std::to_string(run.afterRead) +
        " after the log was read), " + std::to_string(run.tooDeep) + " left out nested too deep, " +
        std::to_string(run.checks) + " checks of the statistics;";
    for (std::size_t i = 0; i < kStressActions; ++i) {
        text += std::string(i == 0 ? " " : ", ") +
                std::string(StressActionName(static_cast<StressAction>(i))) + " " +
                std::to_string(run.byAction[i]);
    }
    host.Note(text);
}

// What went wrong in a finished run; nothing when it passed.
std::vector<std::string> Failures(const StressRun& run, bool mainWindowAtEnd) {
    std::vector<std::string> failures;
    if (!mainWindowAtEnd) {
        failures.push_back("no main window at the end, after _Run");
    }
    if (run.mismatches != 0) {
        failures.push_back("the statistics differed from a recalculation's " +
                           std::to_string(run.mismatches) + " times in " +
                           std::to_string(run.checks) + " checks, first after " +
                           std::to_string(run.mismatchAfter) + " events");
    }
    if (run.disabledButtons != 0) {
        failures.push_back("\"Recalc Statistic\" was disabled with no recalculation under "
                           "way at " +
                           std::to_string(run.disabledButtons) + " checks");
    }
    if (run.interleaved == 0) {
        failures.push_back("no event ran during a recalculation");
    }
    if (run.logFailures != 0) {
        failures.push_back(std::to_string(run.logFailures) + " INSERTs failed, the first with " +
                           run.firstLogFailure);
    }
    if (run.runFailures != 0) {
        failures.push_back(std::to_string(run.runFailures) + " _Run calls gave no window");
    }
    if (!run.firstError.empty()) {
        failures.push_back("an event failed: " + run.firstError);
    }
    return failures;
}

// As "stats" prints them, under the name given.
std::string StatisticBlock(const char* name, const std::string& text) {
    const std::vector<std::string> lines = StatisticLines(text);
    std::string shown = std::string("stress\t") + name + "\t" + std::to_string(lines.size()) + "\n";
    for (const std::string& line : lines) {
        shown += line + "\n";
    }
    return shown;
}

// The stress's output line, and the first statistics that differed with the
// recalculation's.
std::string Verdict(const StressRun& run, const std::vector<std::string>& failures) {
    if (failures.empty()) {
        return "stress\tok\n";
    }
    std::string out = "stress\tfailed";
    for (std::size_t i = 0; i < failures.size(); ++i) {
        out += (i == 0 ? "\t" : "; ") + OneLine(failures[i]);
    }
    out += "\n";
    if (run.mismatches != 0) {
        out += StatisticBlock("before", run.before) + StatisticBlock("after", run.after);
    }
    return out;
}

// One stress run on the host: its events, its checks and its end.
class Stress {
public:
    Stress(Host& host, StressSlot& slot, StressRun& run) : m_host(host), m_slot(slot), m_run(run) {}

    void RunBatches();
    bool Finish();
    // Reads the statistics, clicks "Recalc Statistic" and reads them again,
    // with the events held back meanwhile: they would change the log.
    void CheckStatistics();
    // One stress event, wherever the thread handles messages.
    void OnEvent(EventWindow::Source source);

private:
    bool Counted(EventWindow::Source source);
    void PerformStep(const StressStep& step);
    void LogContact();
    void AskAbout(const StressStep& step);
    void ChooseBand(int band);
    void RunPlugin();
    void ClickMain(int id) { SendMessageA(m_host.Control("stress", id), BM_CLICK, 0, 0); }
    bool RecalcButtonDisabled() const;

    Host& m_host;
    StressSlot& m_slot;
    StressRun& m_run;
};

void Stress::RunBatches() {
    EventWindow events([this](EventWindow::Source source) { OnEvent(source); });
    events.StartTimer(kStressTimerMs);
    MessagePump& pump = m_host.Pump();
    for (std::uint64_t batch = 1; !m_run.finished && !pump.QuitSeen(); ++batch) {
        for (int i = 0; i < kStressBatch && events.Post(); ++i) {
            ++m_run.outstanding;
        }
        if (m_run.outstanding == 0) {
            throw Error("stress: cannot post the events: " + SystemMessage(GetLastError()));
        }
        pump.Drain();
        if (m_run.outstanding != 0 && !pump.QuitSeen()) {
            // The queue is empty now: they are lost.
            if (m_run.firstError.empty()) {
                m_run.firstError = std::to_string(m_run.outstanding) + " posted events never came";
            }
            m_run.outstanding = 0;
        }
        m_run.finished = m_run.finished || m_run.Over();
        // Between two batches nothing is under way: what the plug-in shows
        // must be what a recalculation makes of the log.
        if (!m_run.finished && m_run.running && batch % kStressCheckEvery == 0 &&
            m_host.ExistingMainWindow() != nullptr) {
            CheckStatistics();
        }
    }
    events.StopTimer();
}

// The end: a main window, and its statistics checked once more. False when
// there is no main window even after a _Run.
bool Stress::Finish() {
    if (!m_run.running || m_host.ExistingMainWindow() == nullptr) {
        m_host.TakeMainWindow(reinterpret_cast<HWND>(m_host.Dll().Run(*m_slot.record)));
        m_host.Pump().Settle();
    }
    if (m_host.ExistingMainWindow() == nullptr) {
        return false;
    }
    CheckStatistics();
    m_host.Pump().Settle();
    return true;
}

void Stress::CheckStatistics() {
    const HWND button = m_host.Control("stress", ui::kRecalcButtonId);
    if (!IsWindowEnabled(button)) {
        // Nothing is under way: a click would be lost, and the check with it.
        ++m_run.disabledButtons;
        return;
    }
    const bool paused = std::exchange(m_run.paused, true);
    std::string before = WindowText(m_host.Control("stress", ui::kStatisticTextId));
    SendMessageA(button, BM_CLICK, 0, 0);
    std::string after = WindowText(m_host.Control("stress", ui::kStatisticTextId));
    m_run.paused = paused;
    ++m_run.checks;
    if (!SameStatistics(before, after) && m_run.mismatches++ == 0) {
        m_run.mismatchAfter = m_run.events;
        m_run.before = std::move(before);
        m_run.after = std::move(after);
    }
}

// Whether the event is to be carried out: not once the run is finished or
// paused, nor nested too deep.
bool Stress::Counted(EventWindow::Source source) {
    if (source == EventWindow::Source::Posted && m_run.outstanding > 0) {
        --m_run.outstanding;
    }
    if (m_run.finished || m_run.paused) {
        return false;
    }
    if (m_run.Over()) {
        m_run.finished = true;
        return false;
    }
    if (m_run.depth >= kMaxStressDepth) {
        ++m_run.tooDeep;
        return false;
    }
    return true;
}

void Stress::OnEvent(EventWindow::Source source) {
    if (!Counted(source)) {
        return;
    }
    const CountScope nested(m_run.depth);
    // The plug-in disables its button while it recalculates, and handles
    // messages then only once it has read the log; at the start of a
    // recalculation only the host knows that one is under way.
    const bool afterRead = RecalcButtonDisabled();
    ++m_run.events;
    ++(source == EventWindow::Source::Posted ? m_run.posted : m_run.timer);
    if (m_slot.recalculating > 0 || afterRead) {
        ++m_run.interleaved;
        m_run.afterRead += afterRead ? 1 : 0;
    }
    const StressStep step = m_run.plan.Next(m_run.running);
    ++m_run.byAction[static_cast<std::size_t>(step.action)];
    try {
        PerformStep(step);
    } catch (const std::exception& e) {
        if (m_run.firstError.empty()) {
            m_run.firstError = std::string(StressActionName(step.action)) + ": " + e.what();
        }
    }
}

void Stress::PerformStep(const StressStep& step) {
    switch (step.action) {
    case StressAction::Log:
        return LogContact();
    case StressAction::Score:
    case StressAction::Grab:
        return AskAbout(step);
    case StressAction::Recalc: {
        const CountScope recalculating(m_slot.recalculating);
        return ClickMain(ui::kRecalcButtonId);
    }
    case StressAction::Multipliers:
        return ClickMain(ui::kMultipliersButtonId);
    case StressAction::Band:
        return ChooseBand(step.band);
    case StressAction::Close:
        SendMessageA(m_host.MainWindow("stress"), WM_SYSCOMMAND, SC_CLOSE, 0);
        return;
    case StressAction::MultClose:
        if (const HWND multipliers = VisibleMultipliersWindow()) {
            SendMessageA(multipliers, WM_CLOSE, 0, 0);
        }
        return;
    case StressAction::Release:
        ++m_run.releases;
        m_host.Dll().Release();
        m_run.running = false;
        return;
    case StressAction::Run:
        return RunPlugin();
    }
}

void Stress::LogContact() {
    const Contact contact = HostContact(m_run.contacts[m_run.logged++ % m_run.contacts.size()]);
    try {
        m_host.Database("stress").Execute(InsertStatement(m_host.Settings().table, contact));
    } catch (const std::exception& e) {
        // Not in the log, so not told to the plug-in either.
        if (m_run.logFailures++ == 0) {
            m_run.firstLogFailure = e.what();
        }
        return;
    }
    m_host.Dll().AddQSO(*m_host.MakeRecord(contact));
}

// _GetScore or _GrabNumber for one of the contacts logged so far: a duplicate
// as often as not.
void Stress::AskAbout(const StressStep& step) {
    const std::size_t known = std::clamp<std::size_t>(m_run.logged, 1, m_run.contacts.size());
    const Contact contact = HostContact(m_run.contacts[step.pick % known]);
    if (step.action == StressAction::Score) {
        m_host.Dll().GetScore(*m_host.MakeRecord(contact));
    } else {
        ShortString code;
        m_host.Dll().GrabNumber(*m_host.MakeRecord(contact), code);
    }
}

void Stress::ChooseBand(int band) {
    HWND multipliers = VisibleMultipliersWindow();
    if (multipliers == nullptr) {
        ClickMain(ui::kMultipliersButtonId);
        multipliers = VisibleMultipliersWindow();
    }
    if (multipliers != nullptr) {
        if (const HWND button = FindBandButton(multipliers, band)) {
            SendMessageA(button, BM_CLICK, 0, 0);
        }
    }
}

void Stress::RunPlugin() {
    const CountScope recalculating(m_slot.recalculating);
    const std::uint64_t releases = m_run.releases;
    const auto window = reinterpret_cast<HWND>(m_host.Dll().Run(*m_slot.record));
    if (m_host.TakeMainWindow(window)) {
        m_run.running = true;
    } else {
        m_run.running = false;
        // No window is right only when a _Release came meanwhile.
        m_run.runFailures += m_run.releases == releases ? 1 : 0;
    }
}

bool Stress::RecalcButtonDisabled() const {
    const HWND main = m_host.ExistingMainWindow();
    const HWND button = main != nullptr ? FindControl(main, ui::kRecalcButtonId) : nullptr;
    return button != nullptr && !IsWindowEnabled(button);
}

} // namespace

Contact HostContact(const loggen::Contact& c) {
    return Contact{c.CallSign,   c.DigiBand,   c.QSOMode,  c.QSOReportRecived,
                   c.DXCCPrefix, c.MainPrefix, c.Continent};
}

// _AddQSO for generated contacts, as a host logging them one after another;
// only the number that counted (1) is printed.
std::string AddManyCommand(Host& host, TestSession&, const Command& command, std::size_t) {
    const TestArguments& arguments = Arguments(command);
    loggen::Options options;
    options.contacts = arguments.count;
    options.seed = arguments.seed;
    const std::vector<loggen::Contact> contacts = loggen::Generate(options);
    auto record = std::make_unique<TQSOData>();
    std::uint64_t counted = 0;
    for (const loggen::Contact& contact : contacts) {
        FillRecord(*record, host.Settings(), HostContact(contact));
        counted += host.Dll().AddQSO(*record) == kOnePoint ? 1 : 0;
    }
    host.Pump().Settle();
    return "addmany\t" + std::to_string(arguments.count) + "\t" + std::to_string(counted) + "\n";
}

std::string StressCommand(Host& host, TestSession& session, const Command& command, std::size_t) {
    const TestArguments& arguments = Arguments(command);
    host.Database("stress");
    StressSlot& slot = session.Stress();
    if (slot.run != nullptr) {
        throw ScriptError("stress: a stress is running already");
    }
    StressRun run(arguments.seed, arguments.milliseconds);
    loggen::Options options;
    options.contacts = kStressContacts;
    options.seed = arguments.seed;
    run.contacts = loggen::Generate(options);
    // Whatever was pending (a release) takes effect first.
    host.Pump().Settle();
    run.running = host.ExistingMainWindow() != nullptr;
    if (slot.record == nullptr) {
        slot.record = &host.KeptRecord(Contact{});
    }
    struct Current {
        StressRun*& slot;
        ~Current() { slot = nullptr; }
    } current{slot.run};
    slot.run = &run;
    Stress stress(host, slot, run);
    stress.RunBatches();
    run.finished = true;
    host.Pump().Settle();
    if (host.Pump().QuitSeen()) {
        ReportStress(host, run);
        return "stress\tfailed\tWM_QUIT came in the middle\n";
    }
    const bool mainWindow = stress.Finish();
    const std::vector<std::string> failures = Failures(run, mainWindow);
    ReportStress(host, run);
    return Verdict(run, failures);
}

} // namespace morvel::host
