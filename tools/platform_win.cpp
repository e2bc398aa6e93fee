#include "tools/platform.h"

#include "oblast/oblast.h"
#include "tools/odbc/system_library_win.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>

namespace morvel {

const KeyEquality& PlatformKeyEquality() {
    return UserLocaleKeyEquality();
}

void LimitLibrarySearch() {
    LimitDllSearch(DllSearch::SystemDirectory);
}

void BinaryStandardOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
}

std::string OblastFileBesideProgram() {
    const std::string program = GrowingPath([](char* buffer, std::uint32_t size) {
        return static_cast<std::uint32_t>(GetModuleFileNameA(nullptr, buffer, size));
    });
    return program.empty() ? std::string() : DomFilePath(program);
}

} // namespace morvel
