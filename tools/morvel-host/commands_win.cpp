#include "tools/morvel-host/commands_win.h"

#include <array>

namespace morvel::host {

namespace {

struct CommandEntry {
    Verb verb;
    CommandFunction perform;
};

constexpr std::array kCommands{
    CommandEntry{Verb::Info, &InfoCommand},
    CommandEntry{Verb::Run, &RunCommand},
    CommandEntry{Verb::Score, &ScoreCommand},
    CommandEntry{Verb::Add, &AddCommand},
    CommandEntry{Verb::Grab, &GrabCommand},
    CommandEntry{Verb::Log, &LogCommand},
    CommandEntry{Verb::Stats, &StatsCommand},
    CommandEntry{Verb::Recalc, &RecalcCommand},
    CommandEntry{Verb::Release, &ReleaseCommand},
    CommandEntry{Verb::Sql, &SqlCommand},
    CommandEntry{Verb::Caption, &CaptionCommand},
    CommandEntry{Verb::Close, &CloseCommand},
    CommandEntry{Verb::CloseWindow, &CloseWindowCommand},
    CommandEntry{Verb::MultClose, &MultCloseCommand},
    CommandEntry{Verb::Sleep, &SleepCommand},
    CommandEntry{Verb::Quit, &QuitCommand},
    CommandEntry{Verb::Mult, &MultCommand},
    CommandEntry{Verb::Band, &BandCommand},
    CommandEntry{Verb::Oblasts, &OblastsCommand},
    CommandEntry{Verb::BandNow, &BandNowCommand},
    CommandEntry{Verb::Post, &PostCommand},
    CommandEntry{Verb::Hold, &HoldCommand},
    CommandEntry{Verb::Unhold, &UnholdCommand},
    CommandEntry{Verb::Screenshot, &ScreenshotCommand},
    CommandEntry{Verb::Stress, &StressCommand},
    CommandEntry{Verb::AddMany, &AddManyCommand},
    CommandEntry{Verb::Resources, &ResourcesCommand},
    CommandEntry{Verb::Unload, &UnloadCommand},
    CommandEntry{Verb::Load, &LoadCommand},
    CommandEntry{Verb::Loaded, &LoadedCommand},
    CommandEntry{Verb::Windows, &WindowsCommand},
    CommandEntry{Verb::State, &StateCommand},
    CommandEntry{Verb::Reconnect, &ReconnectCommand},
    CommandEntry{Verb::Move, &MoveCommand},
    CommandEntry{Verb::Exit, &ExitCommand},
    CommandEntry{Verb::Hover, &HoverCommand},
    CommandEntry{Verb::Repaint, &RepaintCommand},
    CommandEntry{Verb::Classes, &ClassesCommand},
    CommandEntry{Verb::Library, &LibraryCommand},
    CommandEntry{Verb::Race, &RaceCommand},
};

// The table is in the order of Verb, so a verb finds its entry by its value.
constexpr bool InVerbOrder() {
    for (std::size_t i = 0; i < kCommands.size(); ++i) {
        if (static_cast<std::size_t>(kCommands[i].verb) != i) {
            return false;
        }
    }
    return true;
}
static_assert(InVerbOrder(), "kCommands lists every verb once, in the order of Verb");
static_assert(kCommands.size() == static_cast<std::size_t>(Verb::Race) + 1,
              "kCommands lists every verb");

} // namespace

std::string Perform(Host& host, const Command& command, std::size_t number) {
    const auto index = static_cast<std::size_t>(command.verb);
    return index < kCommands.size() ? kCommands[index].perform(host, command, number)
                                    : std::string();
}

} // namespace morvel::host
