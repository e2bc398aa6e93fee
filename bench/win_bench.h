// What the benchmarks under Wine share: a clock, a message pump and the
// plug-in's windows found by control id and class.
#pragma once

#include "contract/records.h"
#include "tools/loggen/contacts.h"
#include "tools/odbc/odbc_connection.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace morvel::bench {

// Seconds from the performance counter.
inline double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

// Handles every pending message of the thread, as a host's loop would.
inline void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

namespace detail {

struct WindowSearch {
    int id;
    const char* className;
    HWND found;
};

inline BOOL CALLBACK MatchControlId(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<WindowSearch*>(param);
    if (GetDlgCtrlID(hwnd) == s->id) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

inline BOOL CALLBACK MatchClassName(HWND hwnd, LPARAM param) {
    auto* s = reinterpret_cast<WindowSearch*>(param);
    char name[64] = {};
    GetClassNameA(hwnd, name, sizeof name);
    if (std::strcmp(name, s->className) == 0) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

} // namespace detail

// The child window with this control id, or nullptr.
inline HWND Control(HWND parent, int id) {
    detail::WindowSearch search{id, nullptr, nullptr};
    EnumChildWindows(parent, &detail::MatchControlId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The first top-level window of this thread with the class name, or nullptr.
inline HWND ThreadWindowOfClass(const char* className) {
    detail::WindowSearch search{0, className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), &detail::MatchClassName,
                      reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A fresh SQLite log file with the table Log and `contacts` generated contacts.
inline void MakeSqliteLog(const std::string& path, std::size_t contacts, std::uint64_t seed) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fclose(f);
    }
    odbc::Connection maker(odbc::SqliteConnectionString(path));
    maker.Execute("CREATE TABLE Log (CallSign TEXT, DigiBand TEXT, QSOMode TEXT, "
                  "QSOReportRecived TEXT, DXCCPrefix TEXT, MainPrefix TEXT, Continent TEXT)");
    for (const auto& c : loggen::Generate({contacts, seed})) {
        maker.Execute("INSERT INTO Log VALUES ('" + c.CallSign + "','" + c.DigiBand + "','" +
                      c.QSOMode + "','" + c.QSOReportRecived + "','" + c.DXCCPrefix + "','" +
                      c.MainPrefix + "','" + c.Continent + "')");
    }
}

} // namespace morvel::bench
