#include "db/odbc_api.h"

#include "db/odbc_handle.h"

#include <algorithm>
#include <vector>

namespace morvel::odbc {

void HandleRelease::operator()(void* handle) const noexcept {
    if (!SQL_SUCCEEDED(api->FreeHandle(type, handle)) && type == SQL_HANDLE_STMT) {
        api->FreeHandle(type, handle);
    }
}

std::string Diagnostic(const Api& api, SQLSMALLINT handleType, SQLHANDLE handle, SQLRETURN rc) {
    if (handle != SQL_NULL_HANDLE) {
        std::vector<SQLCHAR> text(1024);
        for (int attempt = 0; attempt < 2; ++attempt) {
            SQLCHAR state[6] = {};
            SQLINTEGER native = 0;
            SQLSMALLINT length = 0;
            const SQLRETURN got = api.GetDiagRec(handleType, handle, 1, state, &native, text.data(),
                                                 static_cast<SQLSMALLINT>(text.size()), &length);
            if (!SQL_SUCCEEDED(got) || length < 0) {
                break;
            }
            if (static_cast<std::size_t>(length) < text.size() || attempt == 1) {
                const std::size_t n =
                    std::min<std::size_t>(static_cast<std::size_t>(length), text.size() - 1);
                if (n > 0) {
                    return std::string(reinterpret_cast<const char*>(text.data()), n);
                }
                break;
            }
            text.resize(std::min<std::size_t>(static_cast<std::size_t>(length) + 1, 32767));
        }
    }
    return "Database error (ODBC return code " + std::to_string(rc) + ")";
}

} // namespace morvel::odbc
