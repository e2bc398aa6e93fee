// The statistics text shown in the main window: one tab-separated row per band,
// a total row and the score with its formula.
#pragma once

#include "scoring/scoring.h"

#include <string>
#include <string_view>
#include <vector>

namespace morvel {

// Pad repeated (n - size of s) times, then s; s itself when it is long enough.
std::string PadLeft(std::string_view s, int n, char pad = ' ');

// The whole text, lines joined by CR LF and trimmed of blanks and control
// characters at both ends (so the header loses its two leading blanks and the
// text ends with the score).
std::string ShowStatistic(const std::vector<TStatistic>& statList);

} // namespace morvel
