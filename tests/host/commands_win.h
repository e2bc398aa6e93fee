// The test host's commands: one function a verb of kTestVerbs (verbs.h), in a
// file a family, and the session that pairs each verb with its function and
// keeps what the commands share between them (session_win.cpp). A new command
// is its syntax in verbs.*, its function in its family's file, and a line here
// and in the session's table.
#pragma once

#include "tests/host/event_windows_win.h"
#include "tests/host/resources_win.h"
#include "tests/host/verbs.h"
#include "tools/loggen/contacts.h"
#include "tools/morvel-host/commands_win.h"
#include "tools/morvel-host/handle_win.h"
#include "tools/morvel-host/host_win.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvel::host {

// The test host's own table of verbs with its commands, for HostMain after
// morvel-host's.
extern const CommandTable kTestCommands;

// A generated contact as the script would give it.
Contact HostContact(const loggen::Contact& c);

struct StressRun;

// What the stress command keeps between its events and its runs.
struct StressSlot {
    StressRun* run = nullptr;         // the stress under way, or none
    const TQSOData* record = nullptr; // its _Run record, one of the host's kept records
    int recalculating = 0;            // host calls that may recalculate, under way
};

// What the resources command keeps between its calls.
struct ResourcesSlot {
    std::optional<Resources> mark;
    bool explained = false; // the notes on how the figures are counted were written
};

// What lockloader keeps until unlockloader: a thread of its own that holds
// the loader's lock until it is told to go on, then sends the main window
// WM_NULL and lets the lock go.
struct LoaderLockHold {
    HWND window = nullptr;
    KernelHandle taken; // set once the thread holds the lock, or gave up
    KernelHandle go;    // set to let it send and end
    KernelHandle thread;
    bool locked = false;
    bool answered = false;
};

// The test verbs' commands in one session, and what they keep: files held
// open, the stress and resources slots, and the lines queued by post, which
// run when anything on the thread next handles messages (inside a command,
// never between two: the host's own loop leaves them in the queue).
class TestSession final : public CommandSet {
public:
    explicit TestSession(Host& host);

    std::string Perform(const Command& command, std::size_t number) override;
    UINT KeptBetweenCommands() const override { return m_queue.Message(); }
    // The queued lines that never ran, each named so.
    std::string Finish() override;

    // The directory of relative script paths: the program's.
    const std::string& Directory() const { return m_directory; }
    std::vector<KernelHandle>& Held() { return m_held; }
    StressSlot& Stress() { return m_stress; }
    ResourcesSlot& ResourceMark() { return m_resources; }
    std::unique_ptr<LoaderLockHold>& LoaderLock() { return m_loaderLock; }

    // Queues a script line to run when the thread next handles messages.
    void QueueLine(const std::string& line, std::size_t number);

private:
    struct Queued {
        std::string line;
        std::size_t number; // of the post line
        bool done = false;
    };

    void RunQueued(std::size_t index);

    Host& m_host;
    const std::string m_directory;
    std::vector<KernelHandle> m_held;
    StressSlot m_stress;
    ResourcesSlot m_resources;
    std::unique_ptr<LoaderLockHold> m_loaderLock;
    std::vector<Queued> m_queued;
    // Last: its window goes first, so no queued line runs on a half-gone
    // session.
    PostWindow m_queue;
};

// Carries out a command given on script line `number`; returns what it prints.
using TestCommandFunction = std::string (*)(Host& host, TestSession& session,
                                            const Command& command, std::size_t number);

// The script's own flow (commands_script_win.cpp).
std::string PostCommand(Host& host, TestSession& session, const Command& command,
                        std::size_t number);
std::string SleepCommand(Host& host, TestSession& session, const Command& command,
                         std::size_t number);
std::string QuitCommand(Host& host, TestSession& session, const Command& command,
                        std::size_t number);
std::string ExitCommand(Host& host, TestSession& session, const Command& command,
                        std::size_t number);

// Windows and their state (commands_windows_win.cpp).
std::string CloseWindowCommand(Host& host, TestSession& session, const Command& command,
                               std::size_t number);
std::string MultCloseCommand(Host& host, TestSession& session, const Command& command,
                             std::size_t number);
std::string BandNowCommand(Host& host, TestSession& session, const Command& command,
                           std::size_t number);
std::string WindowsCommand(Host& host, TestSession& session, const Command& command,
                           std::size_t number);
std::string StateCommand(Host& host, TestSession& session, const Command& command,
                         std::size_t number);
std::string MoveCommand(Host& host, TestSession& session, const Command& command,
                        std::size_t number);
std::string HoverCommand(Host& host, TestSession& session, const Command& command,
                         std::size_t number);
std::string RepaintCommand(Host& host, TestSession& session, const Command& command,
                           std::size_t number);
std::string PostMessageCommand(Host& host, TestSession& session, const Command& command,
                               std::size_t number);

// The items the plug-in adds to its windows' system menus.
inline constexpr UINT kMenuMultiplierCheck = 0x1010;
inline constexpr UINT kMenuAlwaysOnTop = 0x1020;
inline constexpr UINT kMenuRecalcEvery5Minutes = 0x1030;

// The multiplier check and the system menus (commands_check_win.cpp); the
// visible multiplier check window of this thread, or nullptr.
HWND FindCheckWindow();
std::string SystemMenuCommand(Host& host, TestSession& session, const Command& command,
                              std::size_t number);
std::string CheckCommand(Host& host, TestSession& session, const Command& command,
                         std::size_t number);
std::string CheckViewCommand(Host& host, TestSession& session, const Command& command,
                             std::size_t number);

// Resources, files and screenshots (commands_resources_win.cpp).
std::string ResourcesCommand(Host& host, TestSession& session, const Command& command,
                             std::size_t number);
std::string ScreenshotCommand(Host& host, TestSession& session, const Command& command,
                              std::size_t number);
std::string HoldCommand(Host& host, TestSession& session, const Command& command,
                        std::size_t number);
std::string UnholdCommand(Host& host, TestSession& session, const Command& command,
                          std::size_t number);

// Generated contacts: addmany and stress (commands_stress_win.cpp).
std::string AddManyCommand(Host& host, TestSession& session, const Command& command,
                           std::size_t number);
std::string StressCommand(Host& host, TestSession& session, const Command& command,
                          std::size_t number);

// The module: unload, load and the connection (commands_module_win.cpp).
std::string UnloadCommand(Host& host, TestSession& session, const Command& command,
                          std::size_t number);
std::string LoadCommand(Host& host, TestSession& session, const Command& command,
                        std::size_t number);
std::string LoadedCommand(Host& host, TestSession& session, const Command& command,
                          std::size_t number);
std::string ClassesCommand(Host& host, TestSession& session, const Command& command,
                           std::size_t number);
std::string ReconnectCommand(Host& host, TestSession& session, const Command& command,
                             std::size_t number);
std::string LibraryCommand(Host& host, TestSession& session, const Command& command,
                           std::size_t number);
std::string RaceCommand(Host& host, TestSession& session, const Command& command,
                        std::size_t number);
std::string LockedCommand(Host& host, TestSession& session, const Command& command,
                          std::size_t number);
std::string LockLoaderCommand(Host& host, TestSession& session, const Command& command,
                              std::size_t number);
std::string UnlockLoaderCommand(Host& host, TestSession& session, const Command& command,
                                std::size_t number);
// Lets the thread of a lockloader without its unlockloader end.
void EndLoaderLock(TestSession& session);

} // namespace morvel::host
