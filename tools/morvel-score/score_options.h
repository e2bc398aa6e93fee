// morvel-score's options for the score leaving the program: --xml, --summary
// and --post with what they take (--call, --contest, --category, --operators,
// --every, --once, --timeout).
#pragma once

#include "tools/morvel-score/live_score.h"

#include <optional>
#include <string>
#include <string_view>

namespace morvel {

enum class OutputKind { Statistics, Xml, Summary, Post };

struct ScoreOutput {
    OutputKind kind = OutputKind::Statistics;
    Station station;      // after Finish
    std::string url;      // --post
    int everyMinutes = 5; // --every
    bool once = false;    // --once: one round
    int timeoutSeconds = 30;

    // A flag of these options (--xml, --summary, --once): taken, true.
    bool Flag(std::string_view arg);
    // The place of an option's value, or nullptr for an option not of these.
    std::optional<std::string>* Valued(std::string_view arg);
    // After the whole command line: the values checked and read, or the
    // problem in words (a usage error).
    std::optional<std::string> Finish(bool check);

private:
    bool m_xml = false;
    bool m_summary = false;
    bool m_once = false;
    std::optional<std::string> m_call, m_contest, m_category, m_operators, m_post, m_every,
        m_timeout;
};

} // namespace morvel
