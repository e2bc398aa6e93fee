#include "tools/platform.h"

#include <filesystem>
#include <system_error>

namespace morvel {

const KeyEquality& PlatformKeyEquality() {
    return CLibraryKeyEquality();
}

void LimitLibrarySearch() {}

void BinaryStandardOutput() {}

std::string OblastFileBesideProgram() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || program.empty()) {
        return {};
    }
    return (program.parent_path() / "Plugins" / "Russiaobl.dom").string();
}

} // namespace morvel
