#include "fake_query.h"
#include "session/bands.h"
#include "session/session.h"
#include "support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace morvel {
namespace {

using test::Contact;
using test::Events;
using test::FakeQuery;

struct Harness;

// The main window as the session drives it: it logs what it is asked, and its
// posted messages wait in the harness's queue like a window's.
class FakeMain final : public MainView {
public:
    FakeMain(Harness& harness) : m_h(harness) {}

    bool visible = false;
    bool alive = true;
    std::string text;

    std::uintptr_t WindowHandle() const override { return 0x1234; }
    bool Visible() const override { return visible; }
    void BringToTop() override;
    bool RestorePlacement() override { return false; }
    void Show(bool, bool minimise) override;
    void Minimise() override;
    void SetStatisticText(const std::string& value) override { text = value; }
    void StatisticChanged() override {}
    void SetRecalcEnabled(bool) override {}
    void WriteSettings() override;
    void Close() override;
    void PostClose() override;
    void PostDestroy() override;
    void End() override;

private:
    Harness& m_h;
};

class FakeBands final : public BandView {
public:
    FakeBands(Harness& harness) : m_h(harness) {}
    bool closed = false;
    bool Closed() const override { return closed; }
    void Show() override;
    void ShowBand(int n) override;
    void End() override;

private:
    Harness& m_h;
};

class FakeCheck final : public CheckView {
public:
    FakeCheck(Harness& harness) : m_h(harness) {}
    bool Closed() const override { return false; }
    void BringUp() override;
    void ContactCounted(const TQSOData&, std::int32_t) override {}
    void StateChanged() override {}
    void StationChanged() override {}
    void End() override;

private:
    Harness& m_h;
};

// The platform: its pump plays the host's events set for that pump (1: before
// the first show's read of the log, 2: after it; a nested recalculation counts
// on), then hands out the posted messages.
struct Harness final : public Platform {
    Events log;
    std::map<int, std::vector<std::string>> atPump;
    std::deque<std::pair<const FakeMain*, std::string>> posted;
    std::vector<std::unique_ptr<FakeMain>> mains;
    std::vector<std::unique_ptr<FakeBands>> bands;
    std::vector<std::unique_ptr<FakeCheck>> checks;
    FakeQuery* query = nullptr;
    int failOpen = 0;
    bool failCompose = false;
    int pumps = 0;
    TQSOData working{};
    std::unique_ptr<TQSOData> record = test::Record({"LAST", "7", "CW"});
    Session session{*this, CLibraryKeyEquality(), working};

    // Platform
    void ProcessMessages() override {
        log.push_back("pump");
        const auto events = atPump.find(++pumps);
        if (events != atPump.end()) {
            for (const std::string& event : events->second) {
                Event(event);
            }
        }
        Deliver();
    }
    void ShowFailure(std::string_view message) override {
        log.push_back("failure " + std::string(message));
    }
    SessionParts Compose(const TQSOData&) override {
        if (failCompose) {
            throw Error("Cannot open Russiaobl.dom");
        }
        auto rows = std::make_unique<FakeQuery>();
        rows->rows = {Contact("UA3AAA", "14", "CW", "599 MA", "UA1"),
                      Contact("DL1XX", "7", "CW", "599 001", "DL")};
        rows->failOpen = failOpen;
        query = rows.get();
        SessionParts parts;
        parts.query = std::move(rows);
        parts.domLines = {"UA3A=MA"};
        parts.domFilePath = "Russiaobl.dom";
        return parts;
    }
    MainView& MakeMainWindow(Session&) override {
        log.push_back("made");
        return *mains.emplace_back(std::make_unique<FakeMain>(*this));
    }
    BandView& MakeMultipliersWindow(Session&) override {
        return *bands.emplace_back(std::make_unique<FakeBands>(*this));
    }
    CheckView& MakeCheckWindow(Session&) override {
        return *checks.emplace_back(std::make_unique<FakeCheck>(*this));
    }

    // _Run, and what it answered.
    void Run() {
        MainView* main = session.Run(record.get());
        log.push_back(main != nullptr ? "answer window" : "answer 0");
    }

    // The posted messages, as the thread's message loop hands them out; one
    // to a window that is gone is dropped.
    void Deliver() {
        while (!posted.empty()) {
            const auto [main, message] = posted.front();
            posted.pop_front();
            if (!main->alive) {
                continue;
            }
            if (message == "destroy") {
                session.DestroyArrived(*main);
            } else {
                session.CloseArrived(*main);
            }
        }
    }

    // The host's events.
    void Event(const std::string& event) {
        if (event == "release") { // _Release
            session.Release();
        } else if (event == "close") { // a close request from outside: WM_CLOSE
            posted.emplace_back(mains.back().get(), "close");
        } else if (event == "destroy") { // the window destroyed from outside
            mains.back()->End();
        } else if (event == "run") {
            Run();
        } else if (event == "contact") {
            const auto contact = test::Record({"UA9AAA", "21", "CW", "59 CB", "UA9"});
            log.push_back("add " + std::to_string(session.AddQSO(*contact)));
        } else if (event == "click") {
            session.RecalcStatistic(*mains.back());
        } else if (event == "band") {
            session.SelectBand(3);
        } else if (event == "close button") {
            session.CloseButton(*mains.back());
        }
    }

    std::int32_t Contacts() const {
        std::int32_t total = 0;
        if (const std::vector<TStatistic>* stats = session.StatList()) {
            for (const TStatistic& band : *stats) {
                total += band.QSOs;
            }
        }
        return total;
    }
};

void FakeMain::BringToTop() {
    m_h.log.push_back("brought up");
}
void FakeMain::Show(bool, bool minimise) {
    visible = true;
    m_h.log.push_back(minimise ? "shown minimised" : "shown");
}
void FakeMain::Minimise() {
    m_h.log.push_back("minimised");
}
void FakeMain::WriteSettings() {
    m_h.log.push_back("write " + m_h.session.CurrentBand());
}
void FakeMain::Close() {
    visible = false;
    m_h.log.push_back("closed");
}
void FakeMain::PostClose() {
    m_h.log.push_back("post close");
    m_h.posted.emplace_back(this, "close");
}
void FakeMain::PostDestroy() {
    m_h.log.push_back("post destroy");
    m_h.posted.emplace_back(this, "destroy");
}
void FakeMain::End() {
    m_h.log.push_back("destroyed");
    alive = false;
    visible = false;
    m_h.session.MainEnded(*this);
}
void FakeBands::Show() {
    m_h.session.SelectBand(4); // the stored band, say
}
void FakeBands::ShowBand(int n) {
    m_h.log.push_back("view " + std::to_string(n));
}
void FakeBands::End() {
    m_h.log.push_back("view ends");
    m_h.session.Forget(*this);
}
void FakeCheck::BringUp() {
    m_h.log.push_back("check up");
}
void FakeCheck::End() {
    m_h.log.push_back("check ends");
    m_h.session.Forget(*this);
}

struct Interleaving {
    const char* rule;
    std::vector<std::string> events;
    int pump;
    Events log;            // of _Run, then of the message loop after it
    std::int32_t contacts; // counted once _Run has returned
};

// One row a rule that a fault would break: the events arrive at the given pump
// of the first show's recalculation, in _Run; then the thread's message loop
// hands out what was posted.
const Interleaving kInterleavings[] = {
    {"a _Release waits for the recalculation; the window is not shown, then destroyed",
     {"release"},
     2,
     {"made", "pump", "pump", "post destroy", "post destroy", "answer 0", "destroyed"},
     2},
    {"a close waits for the recalculation; the window is not shown, then closed",
     {"close"},
     1,
     {"made", "pump", "pump", "post close", "answer window", "closed", "post destroy", "destroyed"},
     2},
    {"a _Run during the first show does not show it twice",
     {"run"},
     1,
     {"made", "pump", "answer window", "pump", "shown", "answer window"},
     2},
    {"a _Run after a _Release during the show makes a new window; the first goes once its code "
     "has returned",
     {"release", "run"},
     2,
     {"made", "pump", "pump", "post destroy", "made", "pump", "pump", "shown", "answer window",
      "post destroy", "answer window", "destroyed"},
     2},
    {"the close button during the first show minimises it once shown",
     {"close button"},
     2,
     {"made", "pump", "pump", "shown minimised", "answer window"},
     2},
    {"a band stored during the recalculation is written once, after it",
     {"band"},
     2,
     {"made", "pump", "pump", "shown", "write 3", "answer window"},
     2},
    {"a contact after the read counts",
     {"contact"},
     2,
     {"made", "pump", "pump", "add 1", "shown", "answer window"},
     3},
    {"a contact before the read is what the log says",
     {"contact"},
     1,
     {"made", "pump", "add 1", "pump", "shown", "answer window"},
     2},
    {"a click before the read runs a whole recalculation first",
     {"click"},
     1,
     {"made", "pump", "pump", "pump", "pump", "shown", "answer window"},
     2},
    {"a click after the read is ignored: one runs",
     {"click"},
     2,
     {"made", "pump", "pump", "shown", "answer window"},
     2},
    {"a window destroyed from outside during the show: the recalculation ends on the state "
     "it read, nothing is shown",
     {"destroy"},
     2,
     {"made", "pump", "pump", "destroyed", "answer 0"},
     0},
};

TEST(Session, InterleavingsAtTheFirstShowsPumps) {
    for (const Interleaving& row : kInterleavings) {
        Harness h;
        h.atPump[row.pump] = row.events;
        h.Run();
        EXPECT_EQ(h.Contacts(), row.contacts) << row.rule;
        h.Deliver();
        EXPECT_EQ(h.log, row.log) << row.rule;
        EXPECT_TRUE(h.session.RecalcEnabled()) << row.rule;
        EXPECT_FALSE(h.session.IsBusy()) << row.rule;
    }
}

TEST(Session, DeferredActionsWaitForTheOutermostBusyCodeAndKeepTheirOrder) {
    Harness h;
    // A click that recalculates inside the show, whose second pump brings a
    // close, a destroy message and a band: nothing happens until the show
    // is over, and the window is not shown.
    h.atPump[1] = {"click"};
    h.atPump[3] = {"close", "band"};
    h.Run();
    h.posted.emplace_back(h.mains.back().get(), "destroy");
    h.Deliver();
    EXPECT_EQ(h.log, (Events{"made", "pump", "pump", "pump", "pump", "write 3", "post close",
                             "answer window", "closed", "post destroy", "destroyed"}));
    EXPECT_EQ(h.session.CurrentPhase(), Session::Phase::Stopped);
}

TEST(Session, TheLifecycleOfTheExports) {
    Harness h;
    // Not running: neutral answers, no window.
    EXPECT_EQ(h.session.AddQSO(*h.record), 0);
    EXPECT_EQ(h.session.GetScore(*h.record), 0);
    EXPECT_EQ(h.session.GrabOblast(*h.record), "");
    h.session.Release();
    // A file that cannot be read: shown, no window, and nothing runs.
    h.failCompose = true;
    h.Run();
    EXPECT_EQ(h.log, (Events{"failure Cannot open Russiaobl.dom", "answer 0"}));
    EXPECT_EQ(h.session.CurrentPhase(), Session::Phase::Stopped);
    // A second _Run ignores its record and only brings the window up.
    h.failCompose = false;
    h.log.clear();
    h.Run();
    h.Run();
    EXPECT_EQ(h.log, (Events{"made", "pump", "pump", "shown", "answer window", "brought up",
                             "answer window"}));
    EXPECT_EQ(h.session.GrabOblast(*test::Record({"UA3AAA", "14", "CW", "", "UA1", "UA3A"})), "MA");
    // The close button minimises. A _Release and a _Run at once: the new
    // window is made at once, and the released one, its multipliers window
    // ended, goes when its destroy message comes, taking nothing of the new.
    h.session.OpenMultipliers(*h.mains.back());
    h.log.clear();
    h.session.CloseButton(*h.mains.back());
    h.session.Release();
    EXPECT_EQ(h.session.AddQSO(*h.record), 0);
    h.Run();
    // (Its message, handed out during the new show, waits for it.)
    EXPECT_EQ(h.log, (Events{"minimised", "post destroy", "view ends", "made", "pump", "pump",
                             "shown", "post destroy", "answer window"}));
    h.log.clear();
    h.Deliver();
    EXPECT_EQ(h.log, (Events{"destroyed"}));
    EXPECT_FALSE(h.mains[0]->alive);
    EXPECT_TRUE(h.mains[1]->alive);
    EXPECT_EQ(h.session.CurrentPhase(), Session::Phase::Running);
    EXPECT_EQ(h.Contacts(), 2);
    EXPECT_EQ(h.session.AddQSO(*test::Record({"UA3BBB", "14", "CW", "599 MA"})), 1);
}

TEST(Session, AfterTheReleaseOrTheCloseTheViewsFindNothingAndNothingIsStored) {
    Harness h;
    h.Run();
    h.session.OpenMultipliers(*h.mains.back());
    h.session.OpenMultipliers(*h.mains.back()); // the open one stays the only one
    EXPECT_EQ(h.bands.size(), 1u);
    h.log.clear();
    h.session.SelectBand(5);
    EXPECT_EQ(h.log, (Events{"view 5", "write 5"}));
    h.session.Release();
    h.log.clear();
    h.session.SelectBand(6);
    EXPECT_EQ(h.log, (Events{"view 6"})); // shown, never stored
    EXPECT_EQ(h.session.CurrentBand(), "5");
    EXPECT_EQ(h.session.DomLines(), nullptr);
    EXPECT_EQ(h.session.OblWorked(), nullptr);
    EXPECT_EQ(h.session.Scoring(), nullptr);

    Harness closed;
    closed.Run();
    closed.session.CloseArrived(*closed.mains.back()); // the query, closed, goes with the state
    EXPECT_EQ(closed.session.StatList(), nullptr);
    EXPECT_EQ(closed.session.AddQSO(*closed.record), 0);
    EXPECT_EQ(closed.session.GetScore(*closed.record), 0);
    EXPECT_EQ(closed.session.GrabOblast(*closed.record), "");
    closed.session.SelectBand(2);
    EXPECT_EQ(closed.session.CurrentBand(), "0");
}

TEST(Session, ContactsMoveOnlyAnOpenViewAndTheMainWindowEndsEveryView) {
    Harness h;
    h.Run();
    h.log.clear();
    const auto onTwenty = test::Record({"UA9AAA", "21", "CW", "59 CB", "UA9"});
    h.session.AddQSO(*onTwenty);
    EXPECT_TRUE(h.log.empty()); // no view: no band stored
    h.session.OpenMultipliers(*h.mains.back());
    h.bands.back()->closed = true; // closed, waiting for its destruction
    h.session.OpenMultipliers(*h.mains.back());
    h.session.OpenCheck(*h.mains.back());
    h.session.OpenCheck(*h.mains.back());
    EXPECT_EQ(h.bands.size(), 2u);
    EXPECT_EQ(h.checks.size(), 1u);
    h.session.AddQSO(*test::Record({"UA9BBB", "21", "CW", "59 CB", "UA9"}));
    h.session.AddQSO(*test::Record({"UA9BBB", "21", "CW", "59 CB", "UA9"})); // a duplicate
    h.session.AddQSO(*test::Record({"W1AW", "50", "CW", "599", "K"}));
    // An opened window shows the stored band as the open one.
    EXPECT_EQ(h.log, (Events{"view 4", "write 4", "view 4", "check up", "view 7", "write 7"}));
    h.log.clear();
    h.session.DestroyArrived(*h.mains.back()); // the state goes with the main window
    EXPECT_EQ(h.log, (Events{"destroyed", "view ends", "view ends", "check ends"}));
    EXPECT_EQ(h.session.DomWindow(), nullptr);
    EXPECT_EQ(h.session.StatList(), nullptr);
}

TEST(Session, TheRateHoldsTheExportsContactsAtTheClocksTimesAndNoneOfARecalculation) {
    using namespace std::chrono_literals;
    Harness h;
    const RateMeter::Clock::time_point start{};
    RateMeter::Clock::time_point now = start;
    h.session.SetClock([&now] { return now; });
    h.Run(); // the log's two contacts, counted without a time
    EXPECT_EQ(h.session.RateText(), "Rate 0/h (10 min), 0/h (60 min) over the 1 min since the "
                                    "start   last hour: none");
    // Six contacts in the first 25 minutes and a duplicate at the last (a
    // contact logged all the same); a score asked for is no contact.
    for (int i = 0; i < 6; ++i) {
        now = start + std::chrono::minutes(5 * i);
        h.session.AddQSO(*test::Record(
            {i < 5 ? "UA3A" + std::to_string(i) : "DL0A", i < 4 ? "14" : "7", "CW", "599 MA"}));
    }
    h.session.AddQSO(*test::Record({"UA3A0", "14", "CW", "599 MA"}));
    h.session.GetScore(*test::Record({"UA3A9", "21", "CW", "599 MA"}));
    now = start + 30min;
    EXPECT_EQ(h.session.RateText(), "Rate 12/h (10 min), 14/h (60 min) over the 30 min since the "
                                    "start   last hour: 7 2, 14 5");
    // A recalculation counts the log again and adds no times.
    h.Event("click");
    EXPECT_EQ(h.Contacts(), 2);
    EXPECT_EQ(h.session.RateText(), "Rate 12/h (10 min), 14/h (60 min) over the 30 min since the "
                                    "start   last hour: 7 2, 14 5");
    // A quiet hour: the rate falls with the clock alone.
    now = start + 50min;
    EXPECT_EQ(h.session.RateText(), "Rate 0/h (10 min), 8/h (60 min) over the 50 min since the "
                                    "start   last hour: 7 2, 14 5");
    now = start + 90min;
    EXPECT_EQ(h.session.RateText(), "Rate 0/h (10 min), 0/h (60 min)   last hour: none");
}

TEST(Session, AFailedRecalculationIsShownAndTheActionStaysUsable) {
    Harness h;
    h.failOpen = 1;
    h.Run();
    EXPECT_EQ(h.log,
              (Events{"made", "pump", "failure no such table: Nope", "shown", "answer window"}));
    EXPECT_TRUE(h.session.RecalcEnabled());
}

TEST(BandTable, NumbersAndFollowing) {
    // Numbers, indices and texts agree for every band, the end bands too.
    for (std::size_t i = 0; i < kBandCount; ++i) {
        const Band band = AllBands[i];
        EXPECT_EQ(band.Number(), static_cast<int>(i) + 1);
        EXPECT_EQ(band.Index(), i);
        EXPECT_EQ(band.Text(), BandTable[i]);
        EXPECT_EQ(Band::FromNumber(band.Number()), band);
        EXPECT_EQ(Band::FromText(band.Text()), band);
    }
    EXPECT_EQ(Band::FromNumber(1)->Text(), "1.8");
    EXPECT_EQ(Band::FromNumber(9)->Text(), "28");
    for (const int outside : {0, 10, -1, -9, 100}) {
        EXPECT_EQ(Band::FromNumber(outside), std::nullopt) << outside;
    }
    EXPECT_EQ(Band::FromText("10")->Number(), 4);
    EXPECT_EQ(Band::FromText("50"), std::nullopt);
    EXPECT_EQ(Band::FromText(" 14"), std::nullopt);
    EXPECT_EQ(Band::FromText(""), std::nullopt);
    EXPECT_EQ(Band::Followed(" 14\t"), Band::FromText("14"));
    EXPECT_EQ(Band::Followed("   "), std::nullopt);
    EXPECT_EQ(Band::Followed(""), std::nullopt);
    EXPECT_EQ(Band::Followed("50"), std::nullopt);
    EXPECT_EQ(Band::Followed("1.80"), std::nullopt);
}

} // namespace
} // namespace morvel
