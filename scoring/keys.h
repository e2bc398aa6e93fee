// The equality behind the worked-list keys ("14|MA|", "14|DL|"): the user
// locale's case-insensitive text comparison. It sits behind a small interface
// so that the scoring code stays portable and each platform supplies its own.
#pragma once

#include <string>
#include <string_view>

namespace morvel {

class KeyEquality {
public:
    virtual ~KeyEquality() = default;

    // A canonical form of the key: two keys are equal under this comparison
    // exactly when their canonical forms are byte-for-byte equal, so the form
    // can serve as a hash key.
    virtual std::string Fold(std::string_view key) const = 0;
};

// The C library's case folding, byte by byte (tolower in the current C locale).
const KeyEquality& CLibraryKeyEquality();

// Windows only: CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE) equality,
// through the LCMapStringA sort key of the same flags.
const KeyEquality& UserLocaleKeyEquality();

} // namespace morvel
