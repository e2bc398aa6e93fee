// The oblast file ("Plugins\Russiaobl.dom" beside the host program): its
// lines, the codes the multipliers window lists of them, and the suggestion of
// an oblast code from a Russian station's main prefix (GrabObl); the file's
// path and its loading behind a file-system seam (FileSystem; the Windows one
// is oblast_win.h), at most 1 MB read even from a file that grows meanwhile
// (ReadWhole); and a path read into a buffer that grows until it fits
// (GrowingPath), which the module's run time uses too. Portable.
#pragma once

#include "contract/records.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

// The oblast codes of the lines, as the multipliers window lists them: for
// every line holding "=", the up to four characters after the first "=",
// trimmed; lines without "=" give nothing.
std::vector<std::string> DomListCodes(const std::vector<std::string>& domLines);

// The host program's directory (everything up to its last '\', '/' or ':')
// followed by "Plugins\Russiaobl.dom".
std::string DomFilePath(std::string_view hostProgramPath);

// The largest oblast file read. The shipped one is about 2 KB, and a table of
// every four-character Russian prefix stays under 100 KB; a larger file is no
// oblast file, and reading it (every line is kept, and searched at every
// suggestion) could exhaust a 32-bit logger.
inline constexpr std::size_t kMaxDomFileBytes = 1024 * 1024;

// How reading a whole file ended.
enum class ReadOutcome {
    Read,
    Failed,   // it could not be opened or read
    TooLarge, // it holds more than the bytes allowed
};

struct FileContents {
    ReadOutcome outcome = ReadOutcome::Failed;
    std::string bytes; // the whole file when Read
};

// Reads the next bytes of an open file into buffer: the number read (at most
// size), 0 at the end of the file, nullopt on a failure.
using ChunkReader = std::function<std::optional<std::size_t>(char* buffer, std::size_t size)>;

// The whole of an open file whose handle reports size bytes, never more than
// maxBytes: a size over maxBytes is TooLarge before anything is read, and a
// file that grows past maxBytes while it is read is TooLarge too (at most
// maxBytes + 1 bytes are taken from it).
FileContents ReadWhole(std::uint64_t size, std::size_t maxBytes, const ChunkReader& read);

// A path that a system call writes into the caller's buffer, as
// GetModuleFileName does: call(buffer, size) returns the path's length, or
// size itself when the path did not fit (cut, and on Windows XP not even
// terminated), or 0 on a failure. The buffer grows until the path fits. Empty
// when the call fails or the path needs more than kMaxPathBytes (more than any
// path Windows has: 32767 UTF-16 units, at most two bytes each in an ANSI code
// page).
using PathCall = std::function<std::uint32_t(char* buffer, std::uint32_t size)>;
inline constexpr std::uint32_t kMaxPathBytes = 65536;
std::string GrowingPath(const PathCall& call);

// What the oblast file loading needs from the file system.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // True for an existing file; false for a directory or nothing at all.
    virtual bool FileExists(const std::string& path) const = 0;
    // The whole file (see ReadWhole), opened for reading with others allowed
    // to read, write and delete it meanwhile.
    virtual FileContents ReadShared(const std::string& path, std::size_t maxBytes) const = 0;
};

// DomLines for the host program: empty when the file is absent, or the host
// program's path is unknown (empty); an Error "Cannot open file <path>" when
// it exists but cannot be opened or read, and "Cannot read file <path>: it is
// larger than 1 MB" when it holds more than kMaxDomFileBytes.
std::vector<std::string> LoadDomLines(const FileSystem& fs, std::string_view hostProgramPath);

} // namespace morvel
