// morvel-score --post: the score document sent to the scoreboard's address,
// once or every N minutes until the operator stops the program, the log read
// anew each round. Portable: the sending is HttpPost's (http_post.h), the
// stopping StopSignal's (stop_signal.h).
#pragma once

#include "scoring/scoring.h"
#include "tools/morvel-score/score_options.h"

#include <functional>
#include <string>
#include <vector>

namespace morvel {

// A round's recalculation: the band statistics, or the failure in words.
struct RoundScore {
    std::vector<TStatistic> statList;
    std::string failure; // empty on success
};

// The time now, UTC, "yyyy-mm-dd hh:mm:ss".
std::string UtcTimestamp();

// Runs the rounds: each recalculates (a failure skips the round with a line
// saying so), posts the document and prints one line: the time, the score
// and the server's answer. Until Ctrl+C, or one round with --once. Status:
// 0; with --once, 1 when the document was not taken (no answer, or a status
// other than 2xx) or the round was skipped; 1 when standard output cannot be
// written.
int PostRounds(const ScoreOutput& output, const std::function<RoundScore()>& recalculate);

} // namespace morvel
