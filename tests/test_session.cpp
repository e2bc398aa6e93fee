#include "fake_query.h"
#include "session/bands.h"
#include "session/session.h"
#include "support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace morvel {
namespace {

using test::Contact;
using test::Events;
using test::FakeQuery;

// The platform as the session sees it: logs what the session asks of it, and
// plays one host event at one of its pumps (1: before the recalculation's
// read, 2: after it; a nested recalculation counts on).
class Port final : public SessionPort {
public:
    Events log;
    std::map<int, std::function<void()>> atPump;
    std::string text;
    const Session* session = nullptr;

    void ProcessMessages() override {
        log.push_back("pump");
        const auto event = atPump.find(++m_pumps);
        if (event != atPump.end()) {
            const std::function<void()> play = event->second;
            play();
        }
    }
    void ShowFailure(std::string_view message) override {
        log.push_back("failure " + std::string(message));
    }
    void SetStatisticText(const std::string& value) override { text = value; }
    void StatisticChanged() override {}
    void SetRecalcEnabled(bool) override {}
    void WriteSettings() override {
        log.push_back("write " + const_cast<Session*>(session)->CurrentBand());
    }
    void PostClose() override { log.push_back("post close"); }
    void PostRelease() override { log.push_back("post release"); }

private:
    int m_pumps = 0;
};

class View final : public BandView {
public:
    Events* log = nullptr;
    bool closed = false;
    bool Closed() const override { return closed; }
    void ShowBand(int n) override { log->push_back("view " + std::to_string(n)); }
    void SessionEnded() override { log->push_back("view ends"); }
};

// The main window's show as it drives the session, the host's events as they
// reach it, and what each one did, in the port's log.
struct Harness {
    Port port;
    FakeQuery* query = nullptr;
    View view;
    std::unique_ptr<Session> session;
    std::unique_ptr<TQSOData> record = test::Record({"LAST", "7", "CW"});

    Harness() {
        auto rows = std::make_unique<FakeQuery>();
        query = rows.get();
        query->rows = {Contact("UA3AAA", "14", "CW", "599 MA", "UA1"),
                       Contact("DL1XX", "7", "CW", "599 001", "DL")};
        session = std::make_unique<Session>(port, CLibraryKeyEquality(), std::move(rows),
                                            std::vector<std::string>{"UA3A=MA"}, "Russiaobl.dom");
        port.session = session.get();
        view.log = &port.log;
    }

    void Show() {
        const Session::Busy busy(*session);
        if (!session->BeginShow()) {
            port.log.push_back("show ignored");
            return;
        }
        session->RecalcStatistic(*record);
        const Session::ShowOutcome outcome = session->EndShow();
        port.log.push_back(!outcome.show      ? "not shown"
                           : outcome.minimise ? "shown minimised"
                                              : "shown");
    }

    // The host's events, as the windows hand them on.
    void Event(const std::string& event) {
        if (event == "release") { // the posted release message
            port.log.push_back(session->ReleaseNow() ? "destroyed" : "release waits");
        } else if (event == "close") { // WM_CLOSE
            port.log.push_back(session->CloseNow() ? "closed" : "close waits");
        } else if (event == "run") {
            Show();
        } else if (event == "contact") {
            const auto contact = test::Record({"UA9AAA", "21", "CW", "59 CB", "UA9"});
            port.log.push_back("add " + std::to_string(session->AddQSO(*contact)));
        } else if (event == "click") {
            session->RecalcStatistic(*record);
        } else if (event == "band") {
            session->SelectBand(3);
        } else if (event == "close button") {
            port.log.push_back(session->MinimiseAfterShow() ? "minimise later" : "minimise");
        }
    }

    std::int32_t Contacts() const {
        std::int32_t total = 0;
        for (const TStatistic& band : *session->StatList()) {
            total += band.QSOs;
        }
        return total;
    }
};

struct Interleaving {
    const char* rule;
    const char* event;
    int pump;
    Events log;
    std::int32_t contacts; // counted once the show is over
};

// One row a rule that a fault would break: the event arrives at the given pump
// of the window's first show (its recalculation from the log).
const Interleaving kInterleavings[] = {
    {"a release waits for the recalculation, and the window is not shown",
     "release",
     2,
     {"pump", "pump", "release waits", "not shown", "post release"},
     2},
    {"a close waits for the recalculation, and the window is not shown",
     "close",
     1,
     {"pump", "close waits", "pump", "not shown", "post close"},
     2},
    {"a _Run during the first show does not show it twice",
     "run",
     1,
     {"pump", "show ignored", "pump", "shown"},
     2},
    {"the close button during the first show minimises it once shown",
     "close button",
     2,
     {"pump", "pump", "minimise later", "shown minimised"},
     2},
    {"a band stored during the recalculation is written once, after it",
     "band",
     2,
     {"pump", "pump", "shown", "write 3"},
     2},
    {"a contact after the read counts", "contact", 2, {"pump", "pump", "add 1", "shown"}, 3},
    {"a contact before the read is what the log says",
     "contact",
     1,
     {"pump", "add 1", "pump", "shown"},
     2},
    {"a click before the read runs a whole recalculation first",
     "click",
     1,
     {"pump", "pump", "pump", "pump", "shown"},
     2},
    {"a click after the read is ignored: one runs", "click", 2, {"pump", "pump", "shown"}, 2},
};

TEST(Session, InterleavingsAtTheRecalculationsPumps) {
    for (const Interleaving& row : kInterleavings) {
        Harness h;
        h.port.atPump[row.pump] = [&h, &row] { h.Event(row.event); };
        h.Show();
        EXPECT_EQ(h.port.log, row.log) << row.rule;
        EXPECT_EQ(h.Contacts(), row.contacts) << row.rule;
        EXPECT_TRUE(h.session->RecalcEnabled()) << row.rule;
    }
}

TEST(Session, DeferredActionsWaitForTheOutermostBusyCodeAndKeepTheirOrder) {
    Harness h;
    // A click that recalculates inside the show, whose second pump brings a
    // release, a close and a band: nothing happens until the show is over.
    h.port.atPump[1] = [&h] { h.Event("click"); };
    h.port.atPump[3] = [&h] {
        h.Event("release");
        h.Event("close");
        h.Event("band");
    };
    h.Show();
    EXPECT_EQ(h.port.log, (Events{"pump", "pump", "pump", "release waits", "close waits", "pump",
                                  "not shown", "write 3", "post close", "post release"}));
    // Posted again, they take effect now.
    h.port.log.clear();
    h.Event("release");
    EXPECT_EQ(h.port.log, (Events{"destroyed"}));
}

TEST(Session, AfterTheReleaseOrTheCloseTheViewsFindNothingAndNothingIsStored) {
    Harness h;
    h.session->AttachView(h.view);
    h.session->SelectBand(5);
    EXPECT_EQ(h.port.log, (Events{"view 5", "write 5"}));
    h.session->MarkReleased();
    h.port.log.clear();
    h.session->SelectBand(6);
    EXPECT_EQ(h.port.log, (Events{"view 6"})); // shown, never stored
    EXPECT_EQ(h.session->CurrentBand(), "5");
    EXPECT_EQ(h.session->DomLines(), nullptr);
    EXPECT_EQ(h.session->OblWorked(), nullptr);

    Harness closed;
    closed.session->DropState(); // the query, closed, goes with the state
    EXPECT_EQ(closed.session->AddQSO(*closed.record), 0);
    EXPECT_EQ(closed.session->GetScore(*closed.record), 0);
    EXPECT_EQ(closed.session->GrabOblast(*closed.record), "");
    closed.session->SelectBand(2);
    EXPECT_EQ(closed.session->CurrentBand(), "0");
}

TEST(Session, ContactsMoveOnlyAnOpenViewAndEndingTheSessionEndsEveryView) {
    Harness h;
    const auto onTwenty = test::Record({"UA9AAA", "21", "CW", "59 CB", "UA9"});
    h.session->AddQSO(*onTwenty);
    EXPECT_TRUE(h.port.log.empty()); // no view: no band stored
    View closing;
    closing.log = &h.port.log;
    closing.closed = true;
    h.session->AttachView(closing);
    h.session->AttachView(h.view);
    h.session->AddQSO(*test::Record({"UA9BBB", "21", "CW", "59 CB", "UA9"}));
    h.session->AddQSO(*test::Record({"W1AW", "50", "CW", "599", "K"}));
    EXPECT_EQ(h.port.log, (Events{"view 7", "write 7"}));
    h.port.log.clear();
    h.session.reset();
    EXPECT_EQ(h.port.log, (Events{"view ends", "view ends"}));
}

TEST(Session, TheRateHoldsTheExportsContactsAtTheClocksTimesAndNoneOfARecalculation) {
    using namespace std::chrono_literals;
    Harness h;
    const RateMeter::Clock::time_point start{};
    RateMeter::Clock::time_point now = start;
    h.session->SetClock([&now] { return now; });
    h.Show(); // the log's two contacts, counted without a time
    EXPECT_EQ(h.session->RateText(), "Rate 0/h (10 min), 0/h (60 min) over the 1 min since the "
                                     "start   last hour: none");
    // Six contacts in the first 25 minutes and a duplicate at the last (a
    // contact logged all the same); a score asked for is no contact.
    for (int i = 0; i < 6; ++i) {
        now = start + std::chrono::minutes(5 * i);
        h.session->AddQSO(*test::Record(
            {i < 5 ? "UA3A" + std::to_string(i) : "DL0A", i < 4 ? "14" : "7", "CW", "599 MA"}));
    }
    h.session->AddQSO(*test::Record({"UA3A0", "14", "CW", "599 MA"}));
    h.session->GetScore(*test::Record({"UA3A9", "21", "CW", "599 MA"}));
    now = start + 30min;
    EXPECT_EQ(h.session->RateText(), "Rate 12/h (10 min), 14/h (60 min) over the 30 min since the "
                                     "start   last hour: 7 2, 14 5");
    // A recalculation counts the log again and adds no times.
    h.Event("click");
    EXPECT_EQ(h.Contacts(), 2);
    EXPECT_EQ(h.session->RateText(), "Rate 12/h (10 min), 14/h (60 min) over the 30 min since the "
                                     "start   last hour: 7 2, 14 5");
    // A quiet hour: the rate falls with the clock alone.
    now = start + 50min;
    EXPECT_EQ(h.session->RateText(), "Rate 0/h (10 min), 8/h (60 min) over the 50 min since the "
                                     "start   last hour: 7 2, 14 5");
    now = start + 90min;
    EXPECT_EQ(h.session->RateText(), "Rate 0/h (10 min), 0/h (60 min)   last hour: none");
}

TEST(Session, AFailedRecalculationIsShownAndTheActionStaysUsable) {
    Harness h;
    h.query->failOpen = 1;
    h.Show();
    EXPECT_EQ(h.port.log, (Events{"pump", "failure no such table: Nope", "shown"}));
    EXPECT_TRUE(h.session->RecalcEnabled());
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
    EXPECT_EQ(FollowedBand(" 14\t"), 5);
    EXPECT_EQ(FollowedBand("50"), std::nullopt);
}

} // namespace
} // namespace morvel
