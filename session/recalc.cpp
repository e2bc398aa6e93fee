#include "session/recalc.h"

#include "contract/text.h"
#include "scoring/report.h"

namespace morvel {

namespace {

ShortString& FieldFor(TQSOData& rec, std::size_t column) {
    ShortString* fields[] = {&rec.QSOReportRecived, &rec.DXCCPrefix, &rec.MainPrefix, &rec.CallSign,
                             &rec.DigiBand,         &rec.QSOMode,    &rec.Continent};
    return *fields[column];
}

// Closes the query on every way out of the read, failures included: an open
// cursor holds locks on the host's database.
class QueryCloser {
public:
    explicit QueryCloser(LogQuery& query) : m_query(query) {}
    ~QueryCloser() { m_query.Close(); }
    QueryCloser(const QueryCloser&) = delete;
    QueryCloser& operator=(const QueryCloser&) = delete;

private:
    LogQuery& m_query;
};

void ReadRows(Recalc& r) {
    std::array<int, kLogColumns.size()> columns{};
    std::array<std::string, kLogColumns.size()> values;
    bool mapped = false;
    while (!r.query.Eof()) {
        if (!mapped) {
            for (std::size_t i = 0; i < kLogColumns.size(); ++i) {
                const std::optional<int> column = r.query.FieldIndex(kLogColumns[i]);
                if (!column) {
                    throw Error("LogQuery: Field '" + std::string(kLogColumns[i]) + "' not found");
                }
                columns[i] = *column;
            }
            mapped = true;
        }
        r.query.ReadRow(columns.data(), values.data(), columns.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            FieldFor(r.workingRecord, i)
                .Assign(i + 1 == values.size() ? UpperAscii(values[i]) : values[i]);
        }
        const std::int32_t counted = r.scoring.CountQSO(r.workingRecord, true);
        if (r.rowCounted) {
            r.rowCounted(r.workingRecord, counted);
        }
        r.query.Next();
    }
}

} // namespace

std::string LogQueryText(std::string_view tableName) {
    if (tableName.find(';') != std::string_view::npos) {
        throw Error("LogQuery: Table name '" + std::string(tableName) +
                    "' holds ';' and is not used");
    }
    std::string sql = "Select * from ";
    sql += tableName;
    sql += " order by CallSign";
    return sql;
}

void LoadLog(Recalc& r) {
    const std::string band = r.workingRecord.DigiBand.Str();
    r.scoring.Clear();
    r.port.SetStatisticText(std::string());
    r.query.Close();
    {
        const std::string sql = LogQueryText(r.workingRecord.TableName.View());
        QueryCloser closer(r.query);
        r.query.Open(sql);
        ReadRows(r);
    }
    // Only now that the cursor is closed may host events run: the host may
    // need its database for the contact it is logging.
    r.port.ProcessMessages();
    r.workingRecord.DigiBand.Assign(band);
}

namespace {

void SetEnabled(Recalc& r, bool enabled) {
    r.enabled = enabled;
    r.port.SetRecalcEnabled(enabled);
}

} // namespace

void RecalcStatisticExecute(Recalc& r) {
    r.port.ProcessMessages();
    SetEnabled(r, false);
    try {
        LoadLog(r);
        r.port.SetStatisticText(ShowStatistic(r.scoring.StatList()));
    } catch (...) {
        SetEnabled(r, true);
        throw;
    }
    SetEnabled(r, true);
}

void RecalcStatisticIfEnabled(Recalc& r) {
    if (r.enabled) {
        RecalcStatisticExecute(r);
    }
}

} // namespace morvel
