// The oblast file ("Plugins\Russiaobl.dom" beside the host program) and the
// suggestion of an oblast code from a Russian station's main prefix.
#pragma once

#include "contract/records.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvel {

// The file's lines in file order. A line ends at CR, at LF or at CR LF; LF CR
// is two breaks; a break at the very end adds no line; a zero byte ends the
// text. Lines are kept as they are (raw bytes, not trimmed).
std::vector<std::string> SplitDomLines(std::string_view bytes);

// The oblast code suggested for the contact, or an empty string: only for DXCC
// prefixes UA1, UA2 and UA9 and a four-character main prefix; the last line
// containing the main prefix decides.
std::string GrabObl(const std::vector<std::string>& domLines, const TQSOData& rec);

// The host program's directory (everything up to its last '\', '/' or ':')
// followed by "Plugins\Russiaobl.dom".
std::string DomFilePath(std::string_view hostProgramPath);

// What the oblast file loading needs from the file system.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True for an existing file; false for a directory or nothing at all.
    virtual bool FileExists(const std::string& path) const = 0;
    // The whole file, opened for reading with others allowed to read but not
    // to write it; nothing when it cannot be opened or read.
    virtual std::optional<std::string> ReadShared(const std::string& path) const = 0;
};

// DomLines for the host program: empty when the file is absent; an Error
// "Cannot open file <path>" when it exists but cannot be read.
std::vector<std::string> LoadDomLines(const FileSystem& fs, std::string_view hostProgramPath);

} // namespace morvel
