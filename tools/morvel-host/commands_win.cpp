#include "tools/morvel-host/commands_win.h"

#include <memory>

namespace morvel::host {

namespace {

constexpr std::array<VerbCommand<CommandFunction>, kHostVerbs.size()> kCommandOfVerb = {{
    {"info", &InfoCommand},
    {"run", &RunCommand},
    {"score", &ScoreCommand},
    {"add", &AddCommand},
    {"grab", &GrabCommand},
    {"log", &LogCommand},
    {"stats", &StatsCommand},
    {"recalc", &RecalcCommand},
    {"release", &ReleaseCommand},
    {"sql", &SqlCommand},
    {"caption", &CaptionCommand},
    {"close", &CloseCommand},
    {"mult", &MultCommand},
    {"band", &BandCommand},
    {"oblasts", &OblastsCommand},
}};
static_assert(InVerbOrder(kCommandOfVerb, kHostVerbs),
              "kCommandOfVerb has a command for every verb of kHostVerbs, in its order");

// The commands keep nothing between them: all they need is the host's.
class HostCommandSet final : public CommandSet {
public:
    explicit HostCommandSet(Host& host) : m_host(host) {}

    std::string Perform(const Command& command, std::size_t number) override {
        const auto index = static_cast<std::size_t>(command.verb - kHostVerbs.data());
        return kCommandOfVerb[index].perform(m_host, command, number);
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
