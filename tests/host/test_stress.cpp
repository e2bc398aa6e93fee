// The stress's plan of host events and its comparison of statistics texts.
#include "tests/host/stress.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace morvel::host {
namespace {

bool NeedsWindow(StressAction action) {
    switch (action) {
    case StressAction::Recalc:
    case StressAction::Multipliers:
    case StressAction::Band:
    case StressAction::Close:
    case StressAction::MultClose:
        return true;
    default:
        return false;
    }
}

// Follows a plan as the host does: _Release ends the main window, _Run makes
// one again.
struct Follower {
    explicit Follower(std::uint64_t seed) : plan(seed) {}

    StressStep Next() {
        const StressStep step = plan.Next(running);
        if (step.action == StressAction::Release) {
            running = false;
        } else if (step.action == StressAction::Run) {
            running = true;
        }
        return step;
    }

    StressPlan plan;
    bool running = true;
};

TEST(HostStress, TheSameSeedGivesTheSameEvents) {
    Follower a(7);
    Follower b(7);
    Follower other(8);
    int differences = 0;
    for (int i = 0; i < 2000; ++i) {
        const StressStep x = a.Next();
        const StressStep y = b.Next();
        ASSERT_EQ(x.action, y.action) << "step " << i;
        ASSERT_EQ(x.band, y.band) << "step " << i;
        ASSERT_EQ(x.pick, y.pick) << "step " << i;
        differences += other.Next().action != x.action ? 1 : 0;
    }
    EXPECT_GT(differences, 500);
}

TEST(HostStress, RecalculationsComeEveryFewEventsAndWindowsAreThereWhenNeeded) {
    for (std::uint64_t seed : {0ull, 1ull, 12345ull, ~0ull}) {
        Follower follower(seed);
        int since = 0;
        for (int i = 0; i < 20000; ++i) {
            const bool running = follower.running;
            const StressStep step = follower.Next();
            EXPECT_FALSE(!running && NeedsWindow(step.action))
                << StressActionName(step.action) << " without a main window, seed " << seed
                << ", step " << i;
            const bool recalculates = step.action == StressAction::Recalc ||
                                      (step.action == StressAction::Run && !running);
            since = recalculates ? 0 : since + 1;
            ASSERT_LE(since, kStressRecalcEvery) << "seed " << seed << ", step " << i;
        }
    }
}

TEST(HostStress, EveryEventAndEveryBandButtonComesUp) {
    Follower follower(3);
    std::set<StressAction> actions;
    std::set<int> bands;
    std::set<std::uint64_t> picks;
    for (int i = 0; i < 20000; ++i) {
        const StressStep step = follower.Next();
        actions.insert(step.action);
        if (step.action == StressAction::Band) {
            ASSERT_GE(step.band, 1);
            ASSERT_LE(step.band, 9);
            bands.insert(step.band);
        } else {
            EXPECT_EQ(step.band, 0);
        }
        if (step.action == StressAction::Score || step.action == StressAction::Grab) {
            picks.insert(step.pick % 100);
        }
    }
    EXPECT_EQ(actions.size(), kStressActions);
    EXPECT_EQ(bands.size(), 9u);
    EXPECT_EQ(picks.size(), 100u); // the scored contacts spread over the log
    for (StressAction action : actions) {
        EXPECT_NE(StressActionName(action), "?");
    }
}

TEST(HostStress, StatisticsCompareByTheirLinesInAnyOrder) {
    const std::string recalculated = "Band\t  QSOs\r\n   7\t     1\r\n  14\t     2\r\n"
                                     "Total\t     3\r\n Score: 3*(1+2)=9";
    const std::string added = "Band\t  QSOs\r\n  14\t     2\r\n   7\t     1\r\n"
                              "Total\t     3\r\n Score: 3*(1+2)=9";
    EXPECT_TRUE(SameStatistics(recalculated, recalculated));
    EXPECT_TRUE(SameStatistics(recalculated, added));
    EXPECT_TRUE(SameStatistics("", ""));

    const std::string oneMore = "Band\t  QSOs\r\n   7\t     1\r\n  14\t     3\r\n"
                                "Total\t     4\r\n Score: 4*(1+2)=12";
    EXPECT_FALSE(SameStatistics(recalculated, oneMore));
    EXPECT_FALSE(SameStatistics(recalculated, ""));
    // A row lost, or one row twice in place of another, is a difference.
    EXPECT_FALSE(SameStatistics("a\r\nb\r\nc", "a\r\nc"));
    EXPECT_FALSE(SameStatistics("a\r\nb\r\nb", "a\r\na\r\nb"));
    // Spaces inside a line count.
    EXPECT_FALSE(SameStatistics("  14\t 1", " 14\t  1"));
}

} // namespace
} // namespace morvel::host
