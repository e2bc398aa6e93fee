// One small move-only owner for the handles of C interfaces (window, GDI,
// registry, kernel and ODBC handles): it gives the handle back with its
// deleter when it goes. Portable; the deleters live with their interfaces.
#pragma once

#include <utility>

namespace morvel {

// Owns a T other than Invalid. Deleter is a function object called with the
// handle; it may carry state (an ODBC function table, say).
template <class T, class Deleter, T Invalid = T{}>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle, Deleter deleter = Deleter())
        : m_handle(handle), m_deleter(std::move(deleter)) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept
        : m_handle(std::exchange(other.m_handle, Invalid)), m_deleter(other.m_deleter) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.m_handle, Invalid));
            m_deleter = other.m_deleter;
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    T Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != Invalid; }
    // Gives up ownership without deleting.
    T Release() { return std::exchange(m_handle, Invalid); }
    // Deletes the handle held, if any, and holds handle instead.
    void Reset(T handle = Invalid) {
        if (m_handle != Invalid) {
            m_deleter(m_handle);
        }
        m_handle = handle;
    }

private:
    T m_handle = Invalid;
    [[no_unique_address]] Deleter m_deleter{};
};

// A deleter that calls the function Close (its result, if any, is dropped).
template <auto Close>
struct CloseWith {
    template <class T>
    void operator()(T handle) const {
        Close(handle);
    }
};

} // namespace morvel
