// Resources, files and screenshots: the process's GDI and USER objects and
// memory against a mark, files held open against the plug-in, and pictures of
// its windows.
#include "contract/text.h"
#include "tests/host/commands_win.h"
#include "tests/host/picture.h"
#include "tests/host/screenshot_win.h"
#include "tools/morvel-host/multipliers_win.h"

#include <cstdint>
#include <exception>
#include <utility>

namespace morvel::host {

namespace {

constexpr std::uint8_t kWhite = 0xFF;

std::string Signed(std::uint64_t now, std::uint64_t before) {
    return now >= before ? "+" + std::to_string(now - before) : "-" + std::to_string(before - now);
}

// Said once a run, the first time the figures are not what they seem.
void ExplainFigures(const Host& host, ResourcesSlot& slot, const Resources& now) {
    if (slot.explained || (!now.countedHere && !now.fromPagefileUsage)) {
        return;
    }
    slot.explained = true;
    if (now.countedHere) {
        host.Note("resources: the system counts no GUI objects here (GetGuiResources gives "
                  "0): GDI objects are the handles GetObjectType knows, USER objects this "
                  "process's windows, menus, icons and cursors");
    }
    if (now.fromPagefileUsage) {
        host.Note("resources: PrivateUsage is 0 here: private bytes are PagefileUsage");
    }
}

std::string Figures(const Resources& now) {
    const std::string types = GdiTypes(now);
    return "GDI " + std::to_string(now.gdi) + (types.empty() ? "" : " (" + types + ")") +
           ", USER " + std::to_string(now.user) + ", private bytes " +
           std::to_string(now.privateBytes);
}

std::string CheckAgainstMark(const Host& host, const ResourcesSlot& slot, const Resources& now,
                             std::uint64_t growthBytes) {
    if (!slot.mark) {
        throw ScriptError("resources check: nothing to compare with (no resources mark)");
    }
    const Resources& mark = *slot.mark;
    const bool grew = now.gdi > mark.gdi || now.user > mark.user ||
                      (now.privateBytes > mark.privateBytes &&
                       now.privateBytes - mark.privateBytes >= growthBytes);
    const std::string changes = Signed(now.gdi, mark.gdi) + "\t" + Signed(now.user, mark.user) +
                                "\t" + Signed(now.privateBytes, mark.privateBytes);
    host.Note("resources since the mark: " + Figures(now) + " (" + OneLine(changes) +
              "; private bytes may grow by less than " + std::to_string(growthBytes) + ")");
    return grew ? "resources\tgrew\t" + changes + "\n" : "resources\tok\n";
}

} // namespace

std::string ResourcesCommand(Host& host, TestSession& session, const Command& command,
                             std::size_t) {
    const TestArguments& arguments = Arguments(command);
    const Resources now = MeasureResources();
    ResourcesSlot& slot = session.ResourceMark();
    ExplainFigures(host, slot, now);
    switch (arguments.resources) {
    case ResourcesMode::Show:
        break;
    case ResourcesMode::Mark:
        slot.mark = now;
        host.Note("resources at the mark: " + Figures(now));
        return "resources\tmarked\n";
    case ResourcesMode::Check:
        return CheckAgainstMark(host, slot, now, arguments.growthBytes);
    }
    return "resources\t" + std::to_string(now.gdi) + "\t" + std::to_string(now.user) + "\t" +
           std::to_string(now.privateBytes) + "\n";
}

// The main window and, when there is one, the multipliers window to its
// right, as they draw themselves.
std::string ScreenshotCommand(Host& host, TestSession& session, const Command& command,
                              std::size_t) {
    const std::string& path = Arguments(command).path;
    const HWND main = host.ExistingMainWindow();
    if (main == nullptr) {
        return std::string("screenshot\terror\t") + kNoMainWindow + "\n";
    }
    Picture picture;
    try {
        picture = PrintedWindow(main);
        if (const HWND multipliers = FindMultipliersWindow(); multipliers != nullptr) {
            picture = SideBySide(picture, PrintedWindow(multipliers), kWhite);
        }
        if (const HWND check = FindCheckWindow(); check != nullptr) {
            picture = Above(picture, PrintedWindow(check), kWhite);
        }
    } catch (const std::exception& e) {
        return "screenshot\terror\t" + OneLine(e.what()) + "\n";
    }
    try {
        SaveBmp(picture, ResolvePath(session.Directory(), path));
    } catch (const std::exception& e) {
        // Named as the script gave it.
        return "screenshot\terror\tcannot write " + OneLine(path) + ": " + OneLine(e.what()) + "\n";
    }
    return "screenshot\tok\n";
}

// Open with no sharing at all, so that nobody else can open the file until
// unhold; or for writing, as an editor or a sync tool does, letting others
// open it for reading and writing too. A missing file is an error, not made:
// an empty file where there was none would change what the plug-in sees.
std::string HoldCommand(Host&, TestSession& session, const Command& command, std::size_t) {
    const TestArguments& held = Arguments(command);
    const DWORD access = held.holdForWriting ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE;
    const DWORD sharing = held.holdForWriting ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    const HANDLE file =
        CreateFileA(ResolvePath(session.Directory(), held.path).c_str(), access, sharing, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return "hold\terror\t" + OneLine(SystemMessage(GetLastError())) + "\n";
    }
    KernelHandle handle(file);
    session.Held().push_back(std::move(handle));
    return "hold\tok\n";
}

std::string UnholdCommand(Host&, TestSession& session, const Command&, std::size_t) {
    session.Held().clear();
    return "unhold\n";
}

} // namespace morvel::host
