#include "tools/morvel-host/commands_win.h"

#include <array>
#include <memory>

namespace morvel::host {

namespace {

// In kHostVerbs' order: both are made from the one list.
constexpr auto kCommandOfVerb = std::to_array<CommandFunction>({
#define MORVEL_VERB(name, command, reader, input, usage) &command,
#include "tools/morvel-host/verb_list.h"
#undef MORVEL_VERB
});

// The commands keep nothing between them: all they need is the host's.
class HostCommandSet final : public CommandSet {
public:
    explicit HostCommandSet(Host& host) : m_host(host) {}

    std::string Perform(const Command& command, std::size_t number) override {
        const auto index = static_cast<std::size_t>(command.verb - kHostVerbs.data());
        return kCommandOfVerb[index](m_host, command, number);
    }

private:
    Host& m_host;
};

std::unique_ptr<CommandSet> MakeHostCommands(Host& host) {
    return std::make_unique<HostCommandSet>(host);
}

} // namespace

const CommandTable kHostCommands{&kHostVerbTable, &MakeHostCommands};

} // namespace morvel::host
