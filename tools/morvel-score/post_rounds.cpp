#include "tools/morvel-score/post_rounds.h"

#include "contract/text.h"
#include "tools/morvel-score/http_post.h"
#include "tools/morvel-score/live_score.h"
#include "tools/morvel-score/stop_signal.h"

#include <cstdio>
#include <ctime>

namespace morvel {

namespace {

// The line of a round, printed and flushed at once: a terminal or a file
// shows each round as it ends.
bool PrintLine(const std::string& line) {
    const std::string text = line + "\n";
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
           std::fflush(stdout) == 0;
}

// The server's answer in words; true when it took the document (2xx).
bool Answered(const HttpAnswer& answer, std::string& words) {
    if (answer.status == 0) {
        words = "not sent: " + OneLine(answer.error);
        return false;
    }
    const bool taken = answer.status >= 200 && answer.status <= 299;
    words = std::string(taken ? "sent" : "refused") + ": HTTP " + std::to_string(answer.status) +
            (answer.statusText.empty() ? "" : " " + OneLine(answer.statusText));
    return taken;
}

} // namespace

std::string UtcTimestamp() {
    const std::time_t now = std::time(nullptr);
    char text[32] = {};
    if (const std::tm* utc = std::gmtime(&now)) {
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", utc);
    }
    return text;
}

int PostRounds(const ScoreOutput& output, const std::function<RoundScore()>& recalculate) {
    InstallStopHandler();
    int rounds = 0;
    bool lastTaken = false;
    while (!StopRequested()) {
        const RoundScore round = recalculate();
        const std::string timestamp = UtcTimestamp();
        std::string line = timestamp + " UTC  ";
        ++rounds;
        if (!round.failure.empty()) {
            lastTaken = false;
            line += "round skipped: " + OneLine(round.failure);
        } else {
            const std::string xml = ScoreXml(output.station, round.statList, timestamp);
            const HttpAnswer answer =
                HttpPost(output.url, "text/xml; charset=utf-8", xml, output.timeoutSeconds,
                         [] { return StopRequested(); });
            std::string words;
            lastTaken = Answered(answer, words);
            line += "score " + std::to_string(Totals(round.statList).score) + "  " + words;
        }
        if (!PrintLine(line)) {
            std::fprintf(stderr, "morvel-score: cannot write to standard output\n");
            return 1;
        }
        if (output.once || WaitForStop(output.everyMinutes * 60)) {
            break;
        }
    }
    if (output.once) {
        return lastTaken ? 0 : 1;
    }
    return PrintLine("Stopped after " + std::to_string(rounds) +
                     (rounds == 1 ? " round." : " rounds."))
               ? 0
               : 1;
}

} // namespace morvel
