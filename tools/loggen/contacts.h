// Realistic "Morvel Russia" contest contacts, generated deterministically from a
// seed: nine bands, CW and SSB, Russian stations sending their oblast code and
// foreign stations sending serial numbers, a few per cent duplicates.
#pragma once

#include "contract/records.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morvel::loggen {

struct Contact {
    std::string CallSign;
    std::string DigiBand;
    std::string QSOMode;
    std::string QSOReportRecived;
    std::string DXCCPrefix;
    std::string MainPrefix;
    std::string Continent;
    // What a logger keeps besides: time, frequency in kHz, reports.
    std::string QSODateTime;
    std::string Frequency;
    std::string RSTSent;
    std::string RSTRecived;
};

struct Options {
    std::size_t contacts = 1000;
    std::uint64_t seed = 1;
    // Share of contacts that repeat call sign, band and mode of an earlier one.
    double duplicateShare = 0.05;
};

std::vector<Contact> Generate(const Options& options);

// The DXCC prefixes the generator draws foreign stations from (about 300).
const std::vector<std::string>& DxccPrefixes();

// Writes the contact's seven scoring fields into a record.
void FillRecord(TQSOData& rec, const Contact& contact);

} // namespace morvel::loggen
