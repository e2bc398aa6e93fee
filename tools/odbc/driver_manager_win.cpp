// The driver manager of the release's programs: odbc32.dll of the system
// directory, loaded by its full path, its functions found by name. The
// programs import no ODBC32.dll (the plug-in, loaded into a host that has
// loaded the driver manager already, still does).
#include "contract/text.h"
#include "db/odbc_api.h"
#include "tools/odbc/connection_api.h"
#include "tools/odbc/odbc_connection.h"
#include "tools/odbc/system_library_win.h"

#include <string>

namespace morvel::odbc {

namespace {

class Loader {
public:
    explicit Loader(HMODULE module) : m_module(module) {}

    // The export NAME as the type of the table's member; a missing one is
    // remembered for the message.
    template <typename Proc>
    void Find(Proc& member, const char* name) {
        member =
            reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, name)));
        if (member == nullptr) {
            m_missing += (m_missing.empty() ? "" : ", ") + std::string(name);
        }
    }
    const std::string& Missing() const { return m_missing; }

private:
    HMODULE m_module;
    std::string m_missing;
};

struct Loaded {
    ConnectionApi api{};
    std::string failure; // empty when api is complete
};

Loaded Load() {
    Loaded loaded;
    HMODULE module = nullptr;
    try {
        module = LoadSystemLibrary("odbc32.dll");
    } catch (const Error& e) {
        loaded.failure = std::string("no ODBC driver manager: ") + e.what();
        return loaded;
    }
    // The undecorated ANSI names (see odbc_api.h).
    Loader loader(module);
    Api& query = loaded.api.query;
    loader.Find(query.AllocHandle, "SQLAllocHandle");
    loader.Find(query.FreeHandle, "SQLFreeHandle");
    loader.Find(query.SetStmtAttr, "SQLSetStmtAttr");
    loader.Find(query.ExecDirect, "SQLExecDirect");
    loader.Find(query.NumResultCols, "SQLNumResultCols");
    loader.Find(query.DescribeCol, "SQLDescribeCol");
    loader.Find(query.Fetch, "SQLFetch");
    loader.Find(query.GetData, "SQLGetData");
    loader.Find(query.GetDiagRec, "SQLGetDiagRec");
    loader.Find(query.BindCol, "SQLBindCol");
    loader.Find(loaded.api.SetEnvAttr, "SQLSetEnvAttr");
    loader.Find(loaded.api.DriverConnect, "SQLDriverConnect");
    loader.Find(loaded.api.Disconnect, "SQLDisconnect");
    loader.Find(loaded.api.Drivers, "SQLDrivers");
    if (!loader.Missing().empty()) {
        loaded.failure = "the ODBC driver manager odbc32.dll does not export " + loader.Missing();
    }
    return loaded;
}

} // namespace

const ConnectionApi& DriverManager() {
    static const Loaded loaded = Load();
    if (!loaded.failure.empty()) {
        throw Error(loaded.failure);
    }
    return loaded.api;
}

} // namespace morvel::odbc
