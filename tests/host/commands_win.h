// The test host's commands: one function a verb of kTestVerbs (verbs.h), in a
// file a family, each declared here from the verb list (verb_list.h), and the
// session that pairs each verb with its function by the same list and keeps
// what the commands share between them (session_win.cpp). A new command is
// its entry in verb_list.h and its function in its family's file.
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

// Each verb's command, as verb_list.h names it, in its family's file: the
// script's own flow in commands_script_win.cpp; windows and their state in
// commands_windows_win.cpp; the multiplier check and the system menus in
// commands_check_win.cpp; resources, files and screenshots in
// commands_resources_win.cpp; addmany and stress in commands_stress_win.cpp;
// the module, unload, load and the connection in commands_module_win.cpp.
#define MORVEL_VERB(name, command, reader, input, usage)                                           \
    std::string command(Host&, TestSession&, const Command&, std::size_t);
#include "tests/host/verb_list.h"
#undef MORVEL_VERB

// The items the plug-in adds to its windows' system menus.
inline constexpr UINT kMenuMultiplierCheck = 0x1010;
inline constexpr UINT kMenuAlwaysOnTop = 0x1020;
inline constexpr UINT kMenuRecalcEvery5Minutes = 0x1030;

// The visible multiplier check window of this thread, or nullptr
// (commands_check_win.cpp).
HWND FindCheckWindow();

// Lets the thread of a lockloader without its unlockloader end
// (commands_module_win.cpp).
void EndLoaderLock(TestSession& session);

} // namespace morvel::host
