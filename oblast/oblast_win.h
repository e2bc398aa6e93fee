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

} // namespace morvel
