#include "tools/platform_keys.h"

namespace morvel {

const KeyEquality& PlatformKeyEquality() {
    return CLibraryKeyEquality();
}

} // namespace morvel
