// The requests of services/http.h made over WebRequestResult. Built into
// both the transport and the program's loader of the HTTP module, beside
// whichever WebRequestResult the program links.
#include <algorithm>

#include "services/http.h"

namespace services {

std::string WebRequest(std::string_view url, HttpRequestOptions options) {
    // Error pages keep coming back as bodies: only the transport's failures
    // empty the result.
    HttpResult result = WebRequestResult(url, std::move(options));
    return result.failure == HttpFailure::HttpStatus || !result.Failed() ? std::move(result.body)
                                                                         : std::string();
}

HttpResult FetchTextResult(std::string_view url, std::optional<CancelToken> cancel) {
    HttpResult result = WebRequestResult(url, {.cancel = std::move(cancel)});
    result.body.erase(std::min(result.body.find('\0'), result.body.size()));
    return result;
}

std::string FetchText(std::string_view url) {
    std::string body = WebRequest(url);
    body.erase(std::min(body.find('\0'), body.size()));
    return body;
}

}  // namespace services
