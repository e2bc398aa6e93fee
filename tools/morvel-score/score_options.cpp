#include "tools/morvel-score/score_options.h"

#include "contract/text.h"

#include <charconv>
#include <stdexcept>

namespace morvel {

namespace {

// A whole number from low to high, digits only.
std::optional<int> WholeNumber(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
        text[0] == '-' || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

} // namespace

bool ScoreOutput::Flag(std::string_view arg) {
    bool* flag = arg == "--xml"       ? &m_xml
                 : arg == "--summary" ? &m_summary
                 : arg == "--once"    ? &m_once
                                      : nullptr;
    if (flag != nullptr) {
        *flag = true;
    }
    return flag != nullptr;
}

std::optional<std::string>* ScoreOutput::Valued(std::string_view arg) {
    const std::pair<std::string_view, std::optional<std::string>*> valued[] = {
        {"--call", &m_call},           {"--contest", &m_contest}, {"--category", &m_category},
        {"--operators", &m_operators}, {"--post", &m_post},       {"--every", &m_every},
        {"--timeout", &m_timeout},
    };
    for (const auto& [name, value] : valued) {
        if (arg == name) {
            return value;
        }
    }
    return nullptr;
}

std::optional<std::string> ScoreOutput::Finish(bool check) {
    if (int(m_xml) + int(m_summary) + int(m_post.has_value()) > 1) {
        return "give one of --xml, --summary and --post";
    }
    kind = m_xml       ? OutputKind::Xml
           : m_summary ? OutputKind::Summary
           : m_post    ? OutputKind::Post
                       : OutputKind::Statistics;
    if (kind == OutputKind::Statistics) {
        for (const auto& [name, value] : {std::pair{"--call", &m_call},
                                          {"--contest", &m_contest},
                                          {"--category", &m_category},
                                          {"--operators", &m_operators}}) {
            if (value->has_value()) {
                return std::string(name) + " is read only with --xml, --summary or --post";
            }
        }
    }
    if (kind != OutputKind::Post && (m_every || m_timeout || m_once)) {
        return std::string(m_every  ? "--every"
                           : m_once ? "--once"
                                    : "--timeout") +
               " is read only with --post";
    }
    if (m_once && m_every) {
        return "give --every or --once, not both";
    }
    once = m_once;
    if (kind != OutputKind::Statistics && check) {
        return "--check is not read with --xml, --summary or --post";
    }
    if ((kind == OutputKind::Xml || kind == OutputKind::Post) && !m_call) {
        return std::string(kind == OutputKind::Xml ? "--xml" : "--post") +
               " needs your call sign: --call CALL";
    }
    if (kind == OutputKind::Statistics) {
        return std::nullopt;
    }
    station.call = m_call.value_or("");
    if (m_contest) {
        station.contest = *m_contest;
    }
    if (m_category) {
        try {
            station.category = ParseCategory(*m_category);
        } catch (const std::invalid_argument& e) {
            return std::string(e.what());
        }
    }
    if (m_operators) {
        // Separated by commas or blanks, as the header's OPERATORS line has them.
        std::string op;
        for (const char c : *m_operators + ",") {
            if (c == ',' || c == ' ') {
                if (!op.empty()) {
                    station.operators.push_back(op);
                }
                op.clear();
            } else {
                op += c;
            }
        }
    }
    if (m_post) {
        url = *m_post;
        const std::string scheme = UpperAscii(url.substr(0, url.find("://")));
        if (url.find("://") == std::string::npos || (scheme != "HTTP" && scheme != "HTTPS")) {
            return "--post takes an http:// or https:// address, not '" + OneLine(url) + "'";
        }
    }
    if (m_every) {
        const std::optional<int> minutes = WholeNumber(*m_every, 1, 1440);
        if (!minutes) {
            return "--every takes whole minutes from 1 to 1440, not '" + OneLine(*m_every) + "'";
        }
        everyMinutes = *minutes;
    }
    if (m_timeout) {
        const std::optional<int> seconds = WholeNumber(*m_timeout, 1, 600);
        if (!seconds) {
            return "--timeout takes whole seconds from 1 to 600, not '" + OneLine(*m_timeout) + "'";
        }
        timeoutSeconds = *seconds;
    }
    return std::nullopt;
}

} // namespace morvel
