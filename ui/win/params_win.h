// What a window message's parameters point to, read only where that memory
// can be read. Any program on the desktop can post the plug-in's windows any
// message with any parameters, and a message posted, or sent from another
// thread or process, with a pointer that is not marshalled brings an address
// that means nothing here (often null). Also whether the message being
// handled came from another thread (FromThisThread).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstring>
#include <optional>

namespace morvel::win {

// Whether the size bytes at address are committed memory of this process
// that it may read (writable: and write), guard pages excluded; false for
// a null address and a range that wraps around.
bool Accessible(const void* address, std::size_t size, bool writable);

// Whether the message being handled was posted, or sent from this thread
// (the way the system and the window's own controls send theirs), rather
// than sent from another thread or process.
bool FromThisThread();

// A copy of the T that a parameter points to; nullopt for a null pointer or
// memory that cannot be read.
template <class T>
std::optional<T> ReadPointee(LPARAM pointer) {
    const auto* address = reinterpret_cast<const void*>(pointer);
    if (!Accessible(address, sizeof(T), false)) {
        return std::nullopt;
    }
    T value{};
    SIZE_T read = 0;
    // ReadProcessMemory fails, rather than faulting, should the memory go
    // meanwhile.
    if (!ReadProcessMemory(GetCurrentProcess(), address, &value, sizeof value, &read) ||
        read != sizeof value) {
        return std::nullopt;
    }
    return value;
}

} // namespace morvel::win
