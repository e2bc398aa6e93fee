// The Windows file system behind the oblast file loading.
#pragma once

#include "oblast/oblast.h"

namespace morvel {

class WinFileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) const override;
    std::optional<std::string> ReadShared(const std::string& path) const override;
};

// The running process's program file (the host's, not this module's).
std::string HostProgramPath();

} // namespace morvel
