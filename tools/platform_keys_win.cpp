#include "tools/platform_keys.h"

namespace morvel {

const KeyEquality& PlatformKeyEquality() {
    return UserLocaleKeyEquality();
}

} // namespace morvel
