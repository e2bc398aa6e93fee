// The plug-in module as the host sees it: loaded with LoadLibraryA, its six
// functions found by their exported names and called with the host's register
// convention (plugin/contract.h).
#pragma once

#include "plugin/contract.h"

#include <cstdint>
#include <string>

namespace morvel::host {

class Plugin {
public:
    // Loads the module and finds the six exports; throws Error naming the
    // module and what is wrong (the system's reason, or the missing names).
    // The module then stays loaded until the process ends: the plug-in's
    // windows may outlive the script, and their code is in it.
    explicit Plugin(const std::string& path);

    void GetInfo(TPluginInfo& info) const { m_getInfo(&info); }
    std::uintptr_t Run(const TQSOData& record) const { return m_run(0, &record); }
    std::int32_t GetScore(const TQSOData& record) const { return m_getScore(&record); }
    std::int32_t AddQSO(const TQSOData& record) const { return m_addQSO(&record); }
    void GrabNumber(const TQSOData& record, ShortString& code) const {
        m_grabNumber(&record, &code);
    }
    void Release() const { m_release(); }

private:
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
