#include "oblast/oblast.h"

#include "contract/text.h"

#include <algorithm>

namespace morvel {

std::vector<std::string> SplitDomLines(std::string_view bytes) {
    if (const auto zero = bytes.find('\0'); zero != std::string_view::npos) {
        bytes = bytes.substr(0, zero);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(bytes.substr(start, i - start));
        i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < bytes.size()) {
        lines.emplace_back(bytes.substr(start));
    }
    return lines;
}

std::string GrabObl(const std::vector<std::string>& domLines, const TQSOData& rec) {
    const std::string upper = UpperAscii(rec.DXCCPrefix.View());
    std::string gate(1, ':');
    gate.append(Trim(upper));
    gate.push_back(':');
    if (std::string_view(":UA1:UA2:UA9:").find(gate) == std::string_view::npos) {
        return {};
    }
    const std::string_view mainPrefix = rec.MainPrefix.View();
    if (mainPrefix.size() != 4) {
        return {};
    }
    std::string_view result;
    for (const std::string& line : domLines) {
        const std::size_t p = line.find(mainPrefix);
        if (p == std::string::npos) {
            continue;
        }
        // The code follows the four prefix characters and one separator.
        const std::size_t codeAt = p + 5;
        result =
            codeAt < line.size() ? std::string_view(line).substr(codeAt, 2) : std::string_view();
        result = Trim(result);
    }
    return std::string(result);
}

std::string DomFilePath(std::string_view hostProgramPath) {
    const std::size_t cut = hostProgramPath.find_last_of("\\/:");
    std::string path(cut == std::string_view::npos ? std::string_view()
                                                   : hostProgramPath.substr(0, cut + 1));
    path += "Plugins\\Russiaobl.dom";
    return path;
}

FileContents ReadWhole(std::uint64_t size, std::size_t maxBytes, const ChunkReader& read) {
    constexpr std::size_t kChunk = 64 * 1024;
    if (size > maxBytes) {
        return {ReadOutcome::TooLarge, {}};
    }
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    for (;;) {
        // One byte past the limit is room enough to see that a growing file
        // has passed it.
        const std::size_t had = bytes.size();
        const std::size_t room = std::min(kChunk, maxBytes + 1 - had);
        bytes.resize(had + room);
        const std::optional<std::size_t> got = read(bytes.data() + had, room);
        if (!got || *got > room) {
            return {ReadOutcome::Failed, {}};
        }
        bytes.resize(had + *got);
        if (*got == 0) {
            return {ReadOutcome::Read, std::move(bytes)};
        }
        if (bytes.size() > maxBytes) {
            return {ReadOutcome::TooLarge, {}};
        }
    }
}

std::string GrowingPath(const PathCall& call) {
    std::vector<char> buffer(260); // MAX_PATH
    for (;;) {
        const auto size = static_cast<std::uint32_t>(buffer.size());
        const std::uint32_t length = call(buffer.data(), size);
        if (length == 0) {
            return {};
        }
        // The length, never a terminator: a cut path has none on Windows XP.
        if (length < size) {
            return std::string(buffer.data(), length);
        }
        if (size >= kMaxPathBytes) {
            return {}; // a cut path would name another file
        }
        buffer.resize(std::min<std::size_t>(buffer.size() * 2, kMaxPathBytes));
    }
}

std::vector<std::string> LoadDomLines(const FileSystem& fs, std::string_view hostProgramPath) {
    if (hostProgramPath.empty()) {
        return {}; // not the current directory's file
    }
    const std::string path = DomFilePath(hostProgramPath);
    if (!fs.FileExists(path)) {
        return {};
    }
    FileContents contents = fs.ReadShared(path, kMaxDomFileBytes);
    switch (contents.outcome) {
    case ReadOutcome::Read:
        break;
    case ReadOutcome::TooLarge:
        throw Error("Cannot read file " + path + ": it is larger than " +
                    std::to_string(kMaxDomFileBytes / (1024 * 1024)) + " MB");
    case ReadOutcome::Failed:
        throw Error("Cannot open file " + path);
    }
    return SplitDomLines(contents.bytes);
}

std::vector<std::string> DomListCodes(const std::vector<std::string>& domLines) {
    std::vector<std::string> codes;
    for (const std::string& line : domLines) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        codes.emplace_back(Trim(std::string_view(line).substr(eq + 1, 4)));
    }
    return codes;
}

} // namespace morvel
