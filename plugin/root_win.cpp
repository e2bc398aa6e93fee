#include "plugin/root_win.h"

#include "db/odbc_query.h"
#include "module/module_win.h"
#include "oblast/oblast.h"
#include "oblast/oblast_win.h"
#include "scoring/keys.h"
#include "ui/MainForm_win.h"
#include "ui/multiplier_check_win.h"
#include "ui/multipliers_win.h"

#include <cstdint>

namespace morvel {

TQSOData WorkingRecord;
HWND SavedAppHandle = nullptr;
HWND ApplicationHandle = nullptr;

namespace {

class WinPlatform final : public Platform {
public:
    void ProcessMessages() override { morvel::ProcessMessages(); }
    void ShowFailure(std::string_view message) override { morvel::ShowFailure(message); }

    SessionParts Compose(const TQSOData& rec) override {
        // The log is queried on the host's own connection; the oblast file is
        // read beside the host program. A file that exists but cannot be read
        // throws.
        void* connection =
            reinterpret_cast<void*>(static_cast<std::uintptr_t>(rec.ConnectionValue()));
        const std::string hostProgram = HostProgramPath();
        SessionParts parts;
        parts.domLines = LoadDomLines(WinFileSystem(), hostProgram);
        parts.domFilePath = DomFilePath(hostProgram);
        parts.query = std::make_unique<odbc::OdbcLogQuery>(connection);
        return parts;
    }

    MainView& MakeMainWindow(Session& session) override { return TfmMainForm::Create(session); }
    BandView& MakeMultipliersWindow(Session& session) override {
        return TfmDomList::Create(session);
    }
    CheckView& MakeCheckWindow(Session& session) override { return TfmMultCheck::Create(session); }
};

// Plain pointers: nothing of the root is torn down at process exit, when the
// windows' thread may be gone in the middle of anything.
WinPlatform* g_platform = nullptr;
Session* g_root = nullptr;

} // namespace

Session& Root() {
    if (g_root == nullptr) {
        g_platform = new WinPlatform();
        g_root = new Session(*g_platform, UserLocaleKeyEquality(), WorkingRecord);
    }
    return *g_root;
}

void FreeRoot() {
    delete g_root;
    g_root = nullptr;
    delete g_platform;
    g_platform = nullptr;
}

} // namespace morvel
