// The worked-list key equality of the platform a tool runs on: the user
// locale's on Windows (platform_keys_win.cpp), the C library's elsewhere.
#pragma once

#include "scoring/keys.h"

namespace morvel {

const KeyEquality& PlatformKeyEquality();

} // namespace morvel
