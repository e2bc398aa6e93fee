// The portable half of the test host's re-entrancy stress: which host event
// comes next, drawn from a seed, and whether two statistics texts describe
// the same state. The host fires the events (commands_stress_win.cpp) from
// posted messages and a timer, so that most of them land inside the
// plug-in's recalculations, which hand the thread's messages on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace morvel::host {

// The host events of a stress run.
enum class StressAction {
    Log,         // INSERT into the log, then _AddQSO
    Score,       // _GetScore
    Grab,        // _GrabNumber
    Recalc,      // "Recalc Statistic" clicked
    Multipliers, // "Multipliers" clicked
    Band,        // a band button of the multipliers window clicked
    Close,       // the main window's close box (WM_SYSCOMMAND SC_CLOSE)
    MultClose,   // WM_CLOSE to the multipliers window
    Release,     // _Release
    Run,         // _Run
};
inline constexpr std::size_t kStressActions = 10;

std::string_view StressActionName(StressAction action);

// At most this many events follow one another without a recalculation (a
// click on "Recalc Statistic", or a _Run that makes a new main window), so
// that the events keep finding recalculations to land in.
inline constexpr int kStressRecalcEvery = 4;

// splitmix64: small, and the same sequence on every platform and compiler.
class StressRandom {
public:
    explicit StressRandom(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next();
    // Uniform enough in [0, n); 0 when n is 0.
    std::uint64_t Below(std::uint64_t n) { return n == 0 ? 0 : Next() % n; }

private:
    std::uint64_t m_state;
};

struct StressStep {
    StressAction action = StressAction::Log;
    int band = 0;           // Band: the button, 1-9
    std::uint64_t pick = 0; // Score, Grab: which logged contact (modulo their number)
};

class StressPlan {
public:
    explicit StressPlan(std::uint64_t seed) : m_random(seed) {}

    // The next event. running says whether the plug-in has a main window
    // (it has been run, and not released since): without one, the events
    // that need its windows become a _Run, which recalculates in its turn.
    StressStep Next(bool running);

private:
    StressRandom m_random;
    int m_sinceRecalc = 0;
};

// Whether two statistics texts hold the same lines, in whatever order: the
// band rows stand in the order their bands were first met, which for a
// recalculation is the log's call-sign order and for contacts added one by
// one the order they came in.
bool SameStatistics(std::string_view a, std::string_view b);

} // namespace morvel::host
