#include "tools/platform.h"

#include "tools/odbc/system_library_win.h"

namespace morvel {

const KeyEquality& PlatformKeyEquality() {
    return UserLocaleKeyEquality();
}

void LimitLibrarySearch() {
    LeaveCurrentDirectoryOutOfDllSearch();
}

} // namespace morvel
