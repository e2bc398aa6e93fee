// An HTTP POST, the only network code of the project (morvel-score --post):
// libcurl natively (http_post_curl.cpp), WinINet on Windows (http_post_win.cpp,
// the system's proxy settings). HTTPS works on both.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace morvel {

struct HttpAnswer {
    int status = 0;         // the server's HTTP status; 0 when none came
    std::string statusText; // its reason phrase, when it gave one
    std::string error;      // why no answer came, in words (status 0)
};

// Sends body to url (http:// or https://) with the content type; gives up
// after timeoutSeconds without an answer, and as soon as stop() turns true.
// Never throws for a network failure.
HttpAnswer HttpPost(const std::string& url, std::string_view contentType, std::string_view body,
                    int timeoutSeconds, const std::function<bool()>& stop);

} // namespace morvel
