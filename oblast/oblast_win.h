// The Windows file system behind the oblast file loading.
#pragma once

#include "oblast/oblast.h"

#include <windows.h>

namespace morvel {

class WinFileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) const override;
    FileContents ReadShared(const std::string& path, std::size_t maxBytes) const override;
};

// A module's file, however long its path (see GrowingPath); empty when it
// cannot be told.
std::string ModuleFilePath(HMODULE module);

// The running process's program file (the host's, not this module's).
std::string HostProgramPath();

} // namespace morvel
