#include "ui/win/params_win.h"

#include <cstdint>

namespace morvel::win {

namespace {

constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                            PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
constexpr DWORD kWritable =
    PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;

} // namespace

bool Accessible(const void* address, std::size_t size, bool writable) {
    const auto first = reinterpret_cast<std::uintptr_t>(address);
    if (address == nullptr || size == 0 || first + size < first) {
        return false;
    }
    const std::uintptr_t end = first + size;
    // The range may span regions of different protection: each is asked.
    for (std::uintptr_t at = first; at < end;) {
        MEMORY_BASIC_INFORMATION info{};
        if (VirtualQuery(reinterpret_cast<const void*>(at), &info, sizeof info) != sizeof info ||
            info.State != MEM_COMMIT || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0 ||
            (info.Protect & (writable ? kWritable : kReadable)) == 0) {
            return false;
        }
        const auto regionEnd = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
        if (regionEnd <= at) {
            return false;
        }
        at = regionEnd;
    }
    return true;
}

bool FromThisThread() {
    return InSendMessageEx(nullptr) == ISMEX_NOSEND;
}

} // namespace morvel::win
