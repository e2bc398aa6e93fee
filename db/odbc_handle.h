// Owners of ODBC handles. They free through a function table, so that the
// fault tests see every release as they see every other call.
#pragma once

#include "contract/unique_handle.h"

namespace morvel::odbc {

struct Api;

// Frees an ODBC handle of one type (SQL_HANDLE_ENV, _DBC or _STMT) through
// api. A statement the driver manager fails to free is still allocated, and its
// cursor may still hold locks on the host's database: it is freed once more,
// so that a passing failure leaves nothing behind.
struct HandleRelease {
    const Api* api = nullptr;
    short type = 0;
    void operator()(void* handle) const noexcept;
};

using Handle = UniqueHandle<void*, HandleRelease>;

} // namespace morvel::odbc
