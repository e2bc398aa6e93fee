// The plug-in module as the host sees it: loaded with LoadLibraryA, its six
// functions found by their exported names and called with the host's register
// convention (contract/contract.h).
#pragma once

#include "contract/contract.h"

#include <cstdint>
#include <string>

#include <windows.h>

namespace morvel::host {

class Plugin {
public:
    // Loads the module (a relative path from the current directory) and finds
    // the six exports; throws Error naming the module and what is wrong (the
    // system's reason, or the missing names).
    // Unless it is given up, the module then stays loaded until the process
    // ends: the plug-in's windows may outlive the script, and their code is
    // in it.
    explicit Plugin(const std::string& path);

    // Gives the module up, still loaded, to a caller that unloads it (as a
    // logger does that unloads its plug-ins); from then on every call throws
    // Error until Load. Throws Error when not loaded.
    HMODULE TakeModule();
    // LoadLibrary again, with the exports found anew; throws Error as the
    // constructor does, or when loaded already.
    void Load();
    // The instance handle (base address) of the module last loaded, kept
    // after TakeModule.
    HINSTANCE Instance() const { return static_cast<HINSTANCE>(const_cast<void*>(m_base)); }

    void GetInfo(TPluginInfo& info) const {
        Check();
        m_getInfo(&info);
    }
    std::uintptr_t Run(const TQSOData& record) const {
        Check();
        return m_run(0, &record);
    }
    std::int32_t GetScore(const TQSOData& record) const {
        Check();
        return m_getScore(&record);
    }
    std::int32_t AddQSO(const TQSOData& record) const {
        Check();
        return m_addQSO(&record);
    }
    void GrabNumber(const TQSOData& record, ShortString& code) const {
        Check();
        m_grabNumber(&record, &code);
    }
    void Release() const {
        Check();
        m_release();
    }

private:
    void Check() const;

    std::string m_path;     // as given, for the messages
    std::string m_fullPath; // what is loaded
    HMODULE m_module = nullptr;
    const void* m_base = nullptr; // the module's base address, kept after TakeModule
    GrabNumberProc m_grabNumber = nullptr;
    ReleaseProc m_release = nullptr;
    GetScoreProc m_getScore = nullptr;
    AddQSOProc m_addQSO = nullptr;
    RunProc m_run = nullptr;
    GetInfoProc m_getInfo = nullptr;
};

// The directory of the running program, with a separator at the end; empty
// when the system cannot say.
std::string ProgramDirectory();

// MorvelRussia.dll in the directory of the running program.
std::string DefaultPluginPath();

} // namespace morvel::host
