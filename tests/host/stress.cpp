#include "tests/host/stress.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace morvel::host {

namespace {

struct Weighted {
    StressAction action;
    std::string_view name;
    int weight;
    bool needsWindow; // a click or a message to one of the plug-in's windows
};

// Contacts arrive most often, as in a contest; releases are rare, since each
// one ends the window that the following events would land in.
constexpr std::array<Weighted, kStressActions> kWeights = {{
    {StressAction::Log, "log", 30, false},
    {StressAction::Score, "score", 8, false},
    {StressAction::Grab, "grab", 8, false},
    {StressAction::Recalc, "recalc", 14, true},
    {StressAction::Multipliers, "mult", 7, true},
    {StressAction::Band, "band", 10, true},
    {StressAction::Close, "close", 4, true},
    {StressAction::MultClose, "multclose", 6, true},
    {StressAction::Release, "release", 3, false},
    {StressAction::Run, "run", 3, false},
}};

constexpr int TotalWeight() {
    int total = 0;
    for (const Weighted& w : kWeights) {
        total += w.weight;
    }
    return total;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (;;) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

std::string_view StressActionName(StressAction action) {
    for (const Weighted& w : kWeights) {
        if (w.action == action) {
            return w.name;
        }
    }
    return "?";
}

std::uint64_t StressRandom::Next() {
    std::uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

StressStep StressPlan::Next(bool running) {
    StressStep step;
    if (m_sinceRecalc >= kStressRecalcEvery) {
        step.action = running ? StressAction::Recalc : StressAction::Run;
    } else {
        auto pick = static_cast<int>(m_random.Below(TotalWeight()));
        for (const Weighted& w : kWeights) {
            if (pick < w.weight) {
                step.action = w.needsWindow && !running ? StressAction::Run : w.action;
                break;
            }
            pick -= w.weight;
        }
    }
    if (step.action == StressAction::Band) {
        step.band = static_cast<int>(m_random.Below(9)) + 1;
    }
    if (step.action == StressAction::Score || step.action == StressAction::Grab) {
        step.pick = m_random.Next();
    }
    // A _Run recalculates only when it makes the main window.
    const bool recalculates =
        step.action == StressAction::Recalc || (step.action == StressAction::Run && !running);
    m_sinceRecalc = recalculates ? 0 : m_sinceRecalc + 1;
    return step;
}

bool SameStatistics(std::string_view a, std::string_view b) {
    return Lines(a) == Lines(b);
}

} // namespace morvel::host
