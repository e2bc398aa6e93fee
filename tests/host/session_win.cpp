#include "contract/text.h"
#include "tests/host/commands_win.h"

#include <array>
#include <memory>

namespace morvel::host {

namespace {

// In kTestVerbs' order: both are made from the one list.
constexpr auto kCommandOfVerb = std::to_array<TestCommandFunction>({
#define MORVEL_VERB(name, command, reader, input, usage) &command,
#include "tests/host/verb_list.h"
#undef MORVEL_VERB
});

std::unique_ptr<CommandSet> MakeTestSession(Host& host) {
    return std::make_unique<TestSession>(host);
}

} // namespace

const CommandTable kTestCommands{&kTestVerbTable, &MakeTestSession};

TestSession::TestSession(Host& host)
    : m_host(host), m_directory(ProgramDirectory()),
      m_queue([this](std::size_t index) { RunQueued(index); }) {}

std::string TestSession::Perform(const Command& command, std::size_t number) {
    const auto index = static_cast<std::size_t>(command.verb - kTestVerbs.data());
    return kCommandOfVerb[index](m_host, *this, command, number);
}

std::string TestSession::Finish() {
    EndLoaderLock(*this);
    std::string out;
    for (Queued& queued : m_queued) {
        if (!queued.done) {
            queued.done = true;
            out += "error\tline " + std::to_string(queued.number) +
                   ": post: the queued line never ran before the script ended\n";
        }
    }
    return out;
}

void TestSession::QueueLine(const std::string& line, std::size_t number) {
    m_queued.push_back(Queued{line, number});
    if (!m_queue.PostLine(m_queued.size() - 1)) {
        const DWORD error = GetLastError();
        m_queued.pop_back();
        throw Error("post: cannot queue the line: " + SystemMessage(error));
    }
}

// A queued line, run from the queue window's procedure: wherever the thread
// is handling messages, inside a plug-in call as likely as not. The host's own
// message handling meanwhile leaves the other queued lines to the loop that
// ran this one, so that they run, and print, in order.
void TestSession::RunQueued(std::size_t index) {
    if (index >= m_queued.size() || m_queued[index].done || m_host.Ended()) {
        return;
    }
    const KeepInQueue others(m_host.Pump(), m_queue.Message());
    m_queued[index].done = true;
    // Copied: the line may queue more, which moves the list.
    const std::string line = m_queued[index].line;
    const std::size_t number = m_queued[index].number;
    // Boxes that came up before the line ran belong to the command around it,
    // and are printed as they would have been.
    m_host.PrintMessageBoxes();
    const std::string text = m_host.Outcome(line, number);
    if (!text.empty()) {
        m_host.Print(MarkLines(text, "posted\t"));
    }
}

} // namespace morvel::host
