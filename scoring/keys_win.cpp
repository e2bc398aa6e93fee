#include "scoring/keys.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace morvel {

namespace {

// A sort key from LCMapStringA with LCMAP_SORTKEY | NORM_IGNORECASE compares
// equal exactly when CompareStringA with NORM_IGNORECASE reports CSTR_EQUAL.
class UserLocaleFolding final : public KeyEquality {
    // No sort key to be had: fall back to exact equality rather than merge keys
    // that the locale would keep apart. A sort key never starts with a zero
    // byte, so the marker keeps the two kinds of form apart.
    static std::string Exact(std::string_view key) {
        std::string out(1, '\0');
        out.append(key);
        return out;
    }

public:
    std::string Fold(std::string_view key) const override {
        if (key.empty() || key.size() > static_cast<std::size_t>(INT_MAX / 8)) {
            return Exact(key);
        }
        const int length = static_cast<int>(key.size());
        char stack[256];
        int size = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, key.data(),
                                length, stack, sizeof stack);
        if (size > 0) {
            return std::string(stack, static_cast<std::size_t>(size));
        }
        size = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, key.data(),
                            length, nullptr, 0);
        if (size <= 0) {
            return Exact(key);
        }
        std::vector<char> heap(static_cast<std::size_t>(size));
        size = LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, key.data(),
                            length, heap.data(), size);
        if (size <= 0) {
            return Exact(key);
        }
        return std::string(heap.data(), static_cast<std::size_t>(size));
    }
};

} // namespace

const KeyEquality& UserLocaleKeyEquality() {
    static const UserLocaleFolding folding;
    return folding;
}

} // namespace morvel
