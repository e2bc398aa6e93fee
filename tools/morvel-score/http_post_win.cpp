// WinINet, the system's own HTTP client (Windows XP and later, its proxy
// settings and certificates), loaded from the system directory by its full
// path: wininet.dll is none of the KnownDLLs the program may import.
#include "tools/morvel-score/http_post.h"

#include "contract/text.h"
#include "tools/odbc/system_library_win.h"

#include <windows.h>
#include <wininet.h>

#include <vector>

namespace morvel {

namespace {

struct WinInet {
    HMODULE module = nullptr;
    decltype(&InternetOpenA) Open = nullptr;
    decltype(&InternetCrackUrlA) CrackUrl = nullptr;
    decltype(&InternetConnectA) Connect = nullptr;
    decltype(&HttpOpenRequestA) OpenRequest = nullptr;
    decltype(&HttpSendRequestA) SendRequest = nullptr;
    decltype(&HttpQueryInfoA) QueryInfo = nullptr;
    decltype(&InternetSetOptionA) SetOption = nullptr;
    decltype(&InternetCloseHandle) Close = nullptr;
    std::string failure; // empty when every function is there
};

template <typename Proc>
void Find(HMODULE module, Proc& member, const char* name, std::string& missing) {
    member = reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    if (member == nullptr) {
        missing += (missing.empty() ? "" : ", ") + std::string(name);
    }
}

const WinInet& Library() {
    static const WinInet loaded = [] {
        WinInet w;
        try {
            w.module = LoadSystemLibrary("wininet.dll");
        } catch (const Error& e) {
            w.failure = std::string("no HTTP client: ") + e.what();
            return w;
        }
        std::string missing;
        Find(w.module, w.Open, "InternetOpenA", missing);
        Find(w.module, w.CrackUrl, "InternetCrackUrlA", missing);
        Find(w.module, w.Connect, "InternetConnectA", missing);
        Find(w.module, w.OpenRequest, "HttpOpenRequestA", missing);
        Find(w.module, w.SendRequest, "HttpSendRequestA", missing);
        Find(w.module, w.QueryInfo, "HttpQueryInfoA", missing);
        Find(w.module, w.SetOption, "InternetSetOptionA", missing);
        Find(w.module, w.Close, "InternetCloseHandle", missing);
        if (!missing.empty()) {
            w.failure = "wininet.dll lacks " + missing;
        }
        return w;
    }();
    return loaded;
}

// The text of a WinINet error (12001-12192: wininet.dll's messages) or of
// the system's.
std::string ErrorText(const WinInet& w, DWORD code) {
    char* buffer = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                           FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       w.module, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length != 0 && buffer != nullptr ? std::string(buffer, length) : "";
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                             text.back() == '.')) {
        text.pop_back();
    }
    return (text.empty() ? std::string("error") : text) + " (" + std::to_string(code) + ")";
}

// An Internet handle closed on every way out.
class InternetHandle {
public:
    InternetHandle(const WinInet& w, HINTERNET handle) : m_w(w), m_handle(handle) {}
    ~InternetHandle() {
        if (m_handle != nullptr) {
            m_w.Close(m_handle);
        }
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return m_handle; }
    // The handle closed elsewhere: not closed again.
    void Forget() { m_handle = nullptr; }

private:
    const WinInet& m_w;
    HINTERNET m_handle;
};

// Ends a request that outlasts its time or that the operator stops: closing
// its handle from another thread makes the blocked WinINet call return
// (the timeouts set on the handles are not kept by every WinINet).
struct Watch {
    const WinInet* w = nullptr;
    HINTERNET request = nullptr;
    HANDLE done = nullptr; // set when the request has returned
    DWORD ms = 0;
    const std::function<bool()>* stop = nullptr;
    volatile LONG closed = 0;
    bool stopped = false;
};

DWORD WINAPI WatchRequest(void* parameter) {
    Watch& watch = *static_cast<Watch*>(parameter);
    for (DWORD waited = 0;; waited += 100) {
        if (WaitForSingleObject(watch.done, 100) == WAIT_OBJECT_0) {
            return 0;
        }
        const bool stopped = (*watch.stop)();
        if (stopped || waited >= watch.ms) {
            watch.stopped = stopped;
            InterlockedExchange(&watch.closed, 1);
            watch.w->Close(watch.request);
            return 0;
        }
    }
}

} // namespace

HttpAnswer HttpPost(const std::string& url, std::string_view contentType, std::string_view body,
                    int timeoutSeconds, const std::function<bool()>& stop) {
    HttpAnswer answer;
    const WinInet& w = Library();
    if (!w.failure.empty()) {
        answer.error = w.failure;
        return answer;
    }
    if (stop()) {
        answer.error = "stopped";
        return answer;
    }
    std::vector<char> host(INTERNET_MAX_HOST_NAME_LENGTH + 1);
    std::vector<char> path(url.size() + 2);
    std::vector<char> extra(url.size() + 2);
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!w.CrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        answer.error = "not an http:// or https:// address";
        return answer;
    }
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::string object = std::string(path.data()) + extra.data();

    // The system's proxy settings, as the browser has them.
    const InternetHandle session(
        w, w.Open("morvel-score", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (session.get() == nullptr) {
        answer.error = ErrorText(w, GetLastError());
        return answer;
    }
    DWORD ms = static_cast<DWORD>(timeoutSeconds) * 1000;
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        w.SetOption(session.get(), option, &ms, sizeof ms);
    }
    const InternetHandle connection(w, w.Connect(session.get(), host.data(), parts.nPort, nullptr,
                                                 nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (connection.get() == nullptr) {
        answer.error = ErrorText(w, GetLastError());
        return answer;
    }
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                        INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                        INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        INTERNET_FLAG_KEEP_CONNECTION | (secure ? INTERNET_FLAG_SECURE : 0);
    InternetHandle request(w, w.OpenRequest(connection.get(), "POST", object.c_str(), nullptr,
                                            nullptr, nullptr, flags, 0));
    if (request.get() == nullptr) {
        answer.error = ErrorText(w, GetLastError());
        return answer;
    }
    for (const DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        w.SetOption(request.get(), option, &ms, sizeof ms);
    }
    const std::string headers = "Content-Type: " + std::string(contentType) + "\r\n";
    Watch watch;
    watch.w = &w;
    watch.request = request.get();
    watch.ms = ms;
    watch.stop = &stop;
    watch.done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE watcher = watch.done != nullptr
                         ? CreateThread(nullptr, 64 * 1024, WatchRequest, &watch, 0, nullptr)
                         : nullptr;
    const BOOL sent =
        w.SendRequest(request.get(), headers.c_str(), static_cast<DWORD>(headers.size()),
                      const_cast<char*>(body.data()), static_cast<DWORD>(body.size()));
    const DWORD sendError = GetLastError();
    if (watcher != nullptr) {
        SetEvent(watch.done);
        WaitForSingleObject(watcher, INFINITE);
        CloseHandle(watcher);
    }
    if (watch.done != nullptr) {
        CloseHandle(watch.done);
    }
    if (InterlockedCompareExchange(&watch.closed, 0, 0) != 0) {
        request.Forget();
        answer.error = watch.stopped ? std::string("stopped")
                                     : "no answer within " + std::to_string(timeoutSeconds) +
                                           (timeoutSeconds == 1 ? " second" : " seconds");
        return answer;
    }
    if (!sent) {
        answer.error = ErrorText(w, sendError);
        return answer;
    }
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!w.QueryInfo(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                     nullptr)) {
        answer.error = ErrorText(w, GetLastError());
        return answer;
    }
    if (status < 100 || status > 999) {
        // No status line came: the server closed the connection.
        answer.error = "the server gave no answer";
        return answer;
    }
    answer.status = static_cast<int>(status);
    char reason[256] = {};
    DWORD reasonSize = sizeof reason - 1;
    if (w.QueryInfo(request.get(), HTTP_QUERY_STATUS_TEXT, reason, &reasonSize, nullptr)) {
        answer.statusText.assign(reason, reasonSize);
    }
    return answer;
}

} // namespace morvel
