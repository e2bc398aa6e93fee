#include "scoring/keys.h"

#include <cctype>

namespace morvel {

namespace {

class CLibraryFolding final : public KeyEquality {
public:
    std::string Fold(std::string_view key) const override {
        std::string out(key);
        for (char& c : out) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return out;
    }
};

} // namespace

const KeyEquality& CLibraryKeyEquality() {
    static const CLibraryFolding folding;
    return folding;
}

} // namespace morvel
