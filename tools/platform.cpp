#include "tools/platform.h"

namespace morvel {

const KeyEquality& PlatformKeyEquality() {
    return CLibraryKeyEquality();
}

void LimitLibrarySearch() {}

} // namespace morvel
