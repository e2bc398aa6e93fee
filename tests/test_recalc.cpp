#include "contract/text.h"
#include "fake_query.h"
#include "session/recalc.h"
#include "support.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace morvel {
namespace {

using test::Contact;
using test::Events;
using test::FakeQuery;
using test::Row;

class FakeWindow final : public RecalcCaller {
public:
    Events* events = nullptr;
    std::string text = "old text";
    bool enabled = true;
    std::function<void()> onMessages;

    void ProcessMessages() override {
        events->push_back(std::string("messages") + (enabled ? "" : " (disabled)"));
        if (onMessages) {
            auto run = std::move(onMessages);
            onMessages = nullptr;
            run();
        }
    }
    void SetRecalcEnabled(bool value) override {
        enabled = value;
        events->push_back(value ? "enable" : "disable");
    }
    void SetStatisticText(const std::string& value) override {
        text = value;
        events->push_back(value.empty() ? "text cleared" : "text");
    }
};

class RecalcTest : public ::testing::Test {
protected:
    Events events;
    FakeQuery query;
    FakeWindow window;
    TScoring scoring{CLibraryKeyEquality()};
    std::unique_ptr<TQSOData> record = test::Record({"LAST", "7", "CW"});
    Recalc recalc{scoring, *record, query, window, window.enabled};

    void SetUp() override {
        query.events = &events;
        window.events = &events;
        query.rows = {Contact("UA3AAA", "14", "CW", "599 MA", "UA1"),
                      Contact("UA3AAA", "14", "CW", "599 MA", "UA1"),
                      Contact("UA9AAA", "14", "SSB", "59 cb", "UA9", "as")};
    }
};

TEST_F(RecalcTest, StepsRunInOrderAndTheCursorIsClosedBeforeMessages) {
    RecalcStatisticIfEnabled(recalc);
    EXPECT_EQ(events, (Events{"messages", "disable", "text cleared", "open", "close",
                              "messages (disabled)", "text", "enable"}));
    EXPECT_EQ(query.openedSql, "Select * from Log order by CallSign");
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(window.text, "Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n"
                           "  14\t     2\t     2\t     2\t     2\t\r\n"
                           "Total\t     2\t     2\t     2\t     2\r\n"
                           " Score: 2*(2+2)=8");
}

TEST_F(RecalcTest, BandIsPutBackAndTheRestKeepsTheLastRow) {
    RecalcStatisticIfEnabled(recalc);
    EXPECT_EQ(record->DigiBand.View(), "7");
    EXPECT_EQ(record->CallSign.View(), "UA9AAA");
    EXPECT_EQ(record->QSOMode.View(), "SSB");
    EXPECT_EQ(record->QSOReportRecived.View(), "59 cb");
    EXPECT_EQ(record->Continent.View(), "AS"); // capitals
    EXPECT_EQ(record->TableName.View(), "Log");
}

TEST_F(RecalcTest, IgnoredWhileTheActionIsDisabled) {
    window.enabled = false;
    RecalcStatisticIfEnabled(recalc);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(window.text, "old text");
}

TEST_F(RecalcTest, RequestDuringTheRecalculationIsIgnored) {
    // A click on "Recalc Statistic" handled by the pump after the read finds
    // the action disabled.
    int nested = 0;
    window.onMessages = [&] {
        window.onMessages = [&] {
            ++nested;
            RecalcStatisticIfEnabled(recalc);
        };
    };
    RecalcStatisticIfEnabled(recalc);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "open"), 1);
    EXPECT_TRUE(window.enabled);
}

TEST_F(RecalcTest, WaitingClickRunsACompleteRecalculationFirst) {
    // The first pump comes before the action is disabled, so a click waiting
    // there runs a whole recalculation inside the first one.
    window.onMessages = [&] { RecalcStatisticIfEnabled(recalc); };
    RecalcStatisticIfEnabled(recalc);
    EXPECT_EQ(std::count(events.begin(), events.end(), "open"), 2);
    EXPECT_EQ(scoring.StatList().size(), 1u);
    EXPECT_EQ(scoring.StatList()[0].QSOs, 2);
    EXPECT_TRUE(window.enabled);
}

TEST_F(RecalcTest, StateIsRebuiltNotAddedTo) {
    RecalcStatisticIfEnabled(recalc);
    const std::string first = window.text;
    RecalcStatisticIfEnabled(recalc);
    EXPECT_EQ(window.text, first);
    EXPECT_EQ(scoring.QSOList().Size(), 2u);
}

TEST_F(RecalcTest, FailureMidwayLeavesThePartlyRebuiltState) {
    RecalcStatisticIfEnabled(recalc);
    events.clear();
    query.failAtRow = 3;
    EXPECT_THROW(RecalcStatisticIfEnabled(recalc), Error);
    EXPECT_EQ(events, (Events{"messages", "disable", "text cleared", "open", "close", "enable"}));
    EXPECT_TRUE(window.enabled);
    EXPECT_EQ(window.text, "");
    EXPECT_FALSE(query.Active()); // no cursor left holding the host's database
    ASSERT_EQ(scoring.StatList().size(), 1u);
    EXPECT_EQ(scoring.StatList()[0], (TStatistic{"14", 1, 1, 1, 1}));
    EXPECT_EQ(record->DigiBand.View(), "14"); // not put back after a failure
}

TEST_F(RecalcTest, FailureToOpenCarriesTheDriversText) {
    query.failOpen = 1;
    try {
        RecalcStatisticIfEnabled(recalc);
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "no such table: Nope");
    }
    EXPECT_TRUE(window.enabled);
    EXPECT_TRUE(scoring.QSOList().Empty());
}

TEST_F(RecalcTest, MissingColumnFailsOnTheFirstRowNamingTheFirstInReadingOrder) {
    query.columns = {"CallSign", "DigiBand", "QSOMode"};
    try {
        LoadLog(recalc);
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "LogQuery: Field 'QSOReportRecived' not found");
    }
    query.columns = {"QSOReportRecived", "DXCCPrefix", "callsign", "DIGIBAND", "QSOMode"};
    try {
        LoadLog(recalc);
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "LogQuery: Field 'MainPrefix' not found");
    }
    EXPECT_FALSE(query.Active());
}

TEST_F(RecalcTest, EmptyResultLooksUpNoColumn) {
    query.columns = {"CallSign"};
    query.rows.clear();
    RecalcStatisticIfEnabled(recalc);
    EXPECT_EQ(window.text, "Band\t  QSOs\tPoints\t   OBL\t  DXCC\t\r\n"
                           "Total\t     0\t     0\t     0\t     0\r\n"
                           " Score: 0*(0+0)=0");
    EXPECT_EQ(record->CallSign.View(), "LAST");
}

TEST_F(RecalcTest, TableNameIsInsertedVerbatimButNeverWithASecondStatement) {
    record->TableName.Assign("[My Log]");
    LoadLog(recalc);
    EXPECT_EQ(query.openedSql, "Select * from [My Log] order by CallSign");

    record->TableName.Assign("Log; DELETE FROM Log");
    events.clear();
    try {
        RecalcStatisticIfEnabled(recalc);
        FAIL() << "no failure";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("LogQuery: ", 0), 0u);
    }
    EXPECT_EQ(std::count(events.begin(), events.end(), "open"), 0);
    EXPECT_TRUE(window.enabled);
}

TEST_F(RecalcTest, TheRowHookSeesEveryRowAsItWasCounted) {
    query.rows.push_back(Contact("ZZ1", "28", "CW", "", "DL"));
    // Duplicates included.
    std::vector<std::string> rows;
    recalc.rowCounted = [&](const TQSOData& rec, std::int32_t counted) {
        rows.push_back(rec.CallSign.Str() + " " + rec.DigiBand.Str() + " " +
                       std::to_string(counted) + " " + std::to_string(scoring.Duplicates()));
    };
    LoadLog(recalc);
    EXPECT_EQ(rows, (std::vector<std::string>{"UA3AAA 14 1 0", "UA3AAA 14 -1 1", "UA9AAA 14 1 1",
                                              "ZZ1 28 1 1"}));
}

TEST(LogQueryText, BuildsTheSelect) {
    EXPECT_EQ(LogQueryText("Log"), "Select * from Log order by CallSign");
    EXPECT_EQ(LogQueryText("\"My Log\""), "Select * from \"My Log\" order by CallSign");
    EXPECT_EQ(LogQueryText(""), "Select * from  order by CallSign");
    EXPECT_THROW(LogQueryText(";"), Error);
}

} // namespace
} // namespace morvel
