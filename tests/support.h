// Building contact records for the tests.
#pragma once

#include "contract/records.h"

#include <cstring>
#include <memory>
#include <string_view>

namespace morvel::test {

struct Fields {
    std::string_view call;
    std::string_view band = "14";
    std::string_view mode = "CW";
    std::string_view exchange = "";
    std::string_view dxcc = "";
    std::string_view mainPrefix = "";
    std::string_view continent = "";
};

// A record on the heap (it is almost 6 KB), host data filled with a pattern.
inline std::unique_ptr<TQSOData> Record(const Fields& f) {
    auto rec = std::make_unique<TQSOData>();
    std::memset(rec.get(), 0xA5, sizeof(TQSOData));
    rec->TableName.Assign("Log");
    rec->CallSign.Assign(f.call);
    rec->DigiBand.Assign(f.band);
    rec->QSOMode.Assign(f.mode);
    rec->QSOReportRecived.Assign(f.exchange);
    rec->DXCCPrefix.Assign(f.dxcc);
    rec->MainPrefix.Assign(f.mainPrefix);
    rec->Continent.Assign(f.continent);
    rec->CaptionPrefix.Assign("");
    return rec;
}

} // namespace morvel::test
