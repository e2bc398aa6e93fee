// The Windows file system behind the oblast file loading.
#pragma once

#include "oblast/oblast.h"

namespace morvel {

class WinFileSystem final : public FileSystem {
public:
    bool FileExists(const std::string& path) const override;
    FileContents ReadShared(const std::string& path, std::size_t maxBytes) const override;
};

// The running process's program file (the host's, not this module's).
std::string HostProgramPath();

} // namespace morvel
