#include "tools/morvel-score/http_post.h"

#include <curl/curl.h>

#include <memory>

namespace morvel {

namespace {

// The answer's body is not needed: only its status.
extern "C" size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

extern "C" int Progress(void* stop, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return (*static_cast<const std::function<bool()>*>(stop))() ? 1 : 0;
}

// The reason phrase of the status line, read from the headers as they come.
extern "C" size_t Header(char* data, size_t size, size_t count, void* reason) {
    const std::string_view line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        std::string_view rest = line.substr(
            line.find(' ') == std::string_view::npos ? line.size() : line.find(' ') + 1);
        const std::size_t space = rest.find(' ');
        rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
        while (!rest.empty() && (rest.back() == '\r' || rest.back() == '\n')) {
            rest.remove_suffix(1);
        }
        static_cast<std::string*>(reason)->assign(rest);
    }
    return size * count;
}

} // namespace

HttpAnswer HttpPost(const std::string& url, std::string_view contentType, std::string_view body,
                    int timeoutSeconds, const std::function<bool()>& stop) {
    static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
    HttpAnswer answer;
    if (initialised != CURLE_OK) {
        answer.error = curl_easy_strerror(initialised);
        return answer;
    }
    const std::unique_ptr<CURL, void (*)(CURL*)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) {
        answer.error = "cannot start an HTTP transfer";
        return answer;
    }
    const std::string type = "Content-Type: " + std::string(contentType);
    const std::unique_ptr<curl_slist, void (*)(curl_slist*)> headers(
        curl_slist_append(nullptr, type.c_str()), curl_slist_free_all);
    char errorText[CURL_ERROR_SIZE] = {};
    std::string reason;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_USERAGENT, "morvel-score");
    curl_easy_setopt(c, CURLOPT_TIMEOUT, static_cast<long>(timeoutSeconds));
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Discard);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, Header);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &reason);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, Progress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, const_cast<std::function<bool()>*>(&stop));
    const CURLcode done = curl_easy_perform(c);
    if (done != CURLE_OK) {
        answer.error = done == CURLE_ABORTED_BY_CALLBACK ? std::string("stopped")
                       : errorText[0] != '\0'            ? std::string(errorText)
                                                         : std::string(curl_easy_strerror(done));
        return answer;
    }
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    answer.status = static_cast<int>(status);
    answer.statusText = reason;
    return answer;
}

} // namespace morvel
