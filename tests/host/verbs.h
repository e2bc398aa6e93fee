// The portable half of the test host's own verbs: what they read from their
// fields, their table (kTestVerbs, after morvel-host's) and the text the
// queued lines print. Nothing here touches Win32.
#pragma once

#include "tools/morvel-host/script.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel::host {

// What "resources" does with its measurement.
enum class ResourcesMode {
    Show,  // prints it
    Mark,  // keeps it for a later check
    Check, // compares it with the one kept
};

// What the test verbs read from their fields: a command's Command::more.
struct TestArguments {
    std::uint32_t milliseconds = 0; // sleep, stress, race
    std::string line;               // post: the queued script line, as written
    std::string path;               // hold, screenshot, library
    bool holdForWriting = false;    // hold: for writing, others may read and write
    std::uint64_t seed = 0;         // stress, addmany
    std::uint32_t count = 0;        // addmany
    ResourcesMode resources = ResourcesMode::Show;
    std::uint64_t growthBytes = 0;            // resources check: private bytes may grow by less
    std::optional<std::string> captionPrefix; // load: for the records from now on
    bool otherThread = false;                 // unload, library: on another thread
    int x = 0;                                // move
    int y = 0;
    std::string window; // sysmenu: main, mult or check
    std::string item;   // sysmenu: check, ontop or recalc
    // postmsg: the message and its parameters, as posted (window above)
    std::uint32_t message = 0;
    std::uint32_t wParam = 0;
    std::uint32_t lParam = 0;
    bool dismiss = false; // checkview: the warning's Dismiss button clicked first
};

// The command's test arguments; all defaults for a verb that reads none.
const TestArguments& Arguments(const Command& command);

inline constexpr std::uint32_t kMaxSleepMilliseconds = 3'600'000;
inline constexpr std::uint32_t kMaxStressMilliseconds = 3'600'000;
inline constexpr std::uint32_t kMaxAddMany = 1'000'000;
inline constexpr std::uint32_t kMaxRaceMilliseconds = 10'000;
// How deep posts may queue posts ("post\tpost\t...").
inline constexpr int kMaxPostNesting = 32;

// The readers of the test verbs.
//
// sleep and race take a time in milliseconds (at most kMaxSleepMilliseconds,
// kMaxRaceMilliseconds); stress a seed (a whole number below 2^64) and a time
// in milliseconds; addmany a count of contacts (at most kMaxAddMany) and a
// seed; resources nothing, "mark", or "check" and the growth of private
// bytes allowed, in bytes.
std::size_t ReadMilliseconds(const VerbContext& verb, std::vector<std::string>& fields,
                             Command& command);
std::size_t ReadSeedAndTime(const VerbContext& verb, std::vector<std::string>& fields,
                            Command& command);
std::size_t ReadCountAndSeed(const VerbContext& verb, std::vector<std::string>& fields,
                             Command& command);
std::size_t ReadResourcesMode(const VerbContext& verb, std::vector<std::string>& fields,
                              Command& command);
// unload: nothing or "thread"; library: a DLL name and optionally "thread".
std::size_t ReadThread(const VerbContext& verb, std::vector<std::string>& fields, Command& command);
std::size_t ReadLibrary(const VerbContext& verb, std::vector<std::string>& fields,
                        Command& command);
// load: an optional caption prefix (at most 255 bytes) for the records from then
// on.
std::size_t ReadCaptionPrefix(const VerbContext& verb, std::vector<std::string>& fields,
                              Command& command);
// move: x and y, whole numbers of pixels up to 100000.
std::size_t ReadPosition(const VerbContext& verb, std::vector<std::string>& fields,
                         Command& command);
// postmsg: a window (main, mult or check), then a message number and its two
// parameters, each a whole number in decimal or, after 0x, in hexadecimal,
// below 2^32.
std::size_t ReadPostedMessage(const VerbContext& verb, std::vector<std::string>& fields,
                              Command& command);
// screenshot: a path, neither empty nor holding a NUL byte; hold: the same,
// then nothing or "write".
std::size_t ReadPath(const VerbContext& verb, std::vector<std::string>& fields, Command& command);
std::size_t ReadHeldFile(const VerbContext& verb, std::vector<std::string>& fields,
                         Command& command);
// sysmenu: a window (main, mult or check) and an item of the plug-in's in
// its system menu (check, ontop or recalc: "Multiplier check", "Always on
// top", "Recalculate every 5 minutes").
std::size_t ReadSystemMenu(const VerbContext& verb, std::vector<std::string>& fields,
                           Command& command);
// checkview: nothing, or "dismiss" (the warning's Dismiss button clicked
// before the window is read).
std::size_t ReadCheckView(const VerbContext& verb, std::vector<std::string>& fields,
                          Command& command);
// post: the rest of the line after its TAB, as it stands (a script line of
// its own, escapes undecoded). It is read now, so that a line that could never
// run is refused at once rather than failing later; a blank or comment line
// is refused too, as it would do nothing.
std::size_t ReadQueuedLine(const VerbContext& verb, std::vector<std::string>& fields,
                           Command& command);

// The test host's own verbs, in the order its --help lists them after
// morvel-host's; what each does is in session_win.cpp.
inline constexpr auto kTestVerbs = std::to_array<VerbSyntax>({
#define MORVEL_VERB(name, command, reader, input, usage) {name, &reader, VerbInput::input, usage},
#include "tests/host/verb_list.h"
#undef MORVEL_VERB
});

extern const VerbTable kTestVerbTable;

// A path from the script: an absolute one ("C:\...", "\\server\...", or one
// starting with a slash or backslash) as it stands, any other relative to
// directory, which ends with a separator (or is empty).
std::string ResolvePath(std::string_view directory, std::string_view path);

// Every line of the text with mark put before it: the output of a queued
// line, "posted\t" before each. A last line without LF is marked too.
std::string MarkLines(std::string_view text, std::string_view mark);

} // namespace morvel::host
