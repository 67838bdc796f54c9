// Pages under /test/ on every host, for checking the request routines over real HTTP: they
// show what the server received, set cookies, redirect, answer slowly, steadily or never, and serve GBK
// pages with and without a declared charset.

#include <algorithm>
#include <charconv>
#include <string>

#include "demo/demo_pages.h"
#include "demo/test_pages.h"
#include "text/encoding.h"
#include "text/text_ops.h"

namespace tarvisk::demo {

namespace {

// The longest a held-back answer waits when the server keeps running.
constexpr long kMaxSlowMs = 60'000;
constexpr auto kSilentLimit = std::chrono::minutes(2);
constexpr long kMaxBigBytes = 64L << 20;

constexpr char16_t kGbkPageText[] = u"查询结果：中文页面，价格￥99";

long numberParam(const httplib::Request& request, const char* name, long fallback, long low, long high) {
    const std::string text = request.get_param_value(name);
    long value = fallback;
    if (!text.empty() && std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc())
        value = fallback;
    return std::clamp(value, low, high);
}

/// Waits before answering; when the server stops meanwhile, the connection is closed after the
/// answer instead of being kept open for another request.
void holdBack(const httplib::Server& server, std::chrono::milliseconds duration, httplib::Response& response) {
    if (!WaitWhileServing(server, duration))
        response.set_header("Connection", "close");
}

/// What the server received, one item a line: method, target, host, each header (names as the
/// client wrote them), each cookie, then the body as the rest of the answer after "body: ".
void echo(const httplib::Request& request, httplib::Response& response) {
    std::string text =
        "method: " + request.method + "\ntarget: " + request.target + "\nhost: " + RequestHost(request) + "\n";
    for (const auto& [name, value] : request.headers) {
        // The server library adds the socket addresses as headers of its own.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
            continue;
        text += "header: " + name + ": " + value + "\n";
    }
    for (std::size_t i = 0; i < request.get_header_value_count("Cookie"); ++i) {
        const std::string line = request.get_header_value("Cookie", i);
        for (std::size_t start = 0; start <= line.size();) {
            const std::size_t end = std::min(line.find(';', start), line.size());
            const std::string cookie(TrimBlanks(std::string_view(line).substr(start, end - start)));
            if (!cookie.empty())
                text += "cookie: " + cookie + "\n";
            start = end + 1;
        }
    }
    text += "body: " + request.body;
    response.set_content(text, "text/plain; charset=utf-8");
}

/// One Set-Cookie line per "c" parameter, in order.
void setCookies(const httplib::Request& request, httplib::Response& response) {
    for (std::size_t i = 0; i < request.get_param_value_count("c"); ++i)
        response.headers.emplace("Set-Cookie", request.get_param_value("c", i));
    response.set_content("cookies set", "text/plain");
}

/// Answer headers exactly as given: one "Name: value" per "h" parameter.
void headers(const httplib::Request& request, httplib::Response& response) {
    for (std::size_t i = 0; i < request.get_param_value_count("h"); ++i) {
        const std::string line = request.get_param_value("h", i);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos)
            response.set_header(std::string(TrimBlanks(std::string_view(line).substr(0, colon))),
                                std::string(TrimBlanks(std::string_view(line).substr(colon + 1))));
    }
    response.set_content("headers set", "text/plain");
}

/// A redirect ("code", default 302) to "to" (default the echo page) that also sets "cookie".
void redirect(const httplib::Request& request, httplib::Response& response) {
    const std::string to = request.has_param("to") ? request.get_param_value("to") : "/test/echo";
    const std::string cookie = request.has_param("cookie") ? request.get_param_value("cookie") : "redirected=yes";
    response.status = static_cast<int>(numberParam(request, "code", 302, 300, 399));
    response.set_header("Location", to);
    response.headers.emplace("Set-Cookie", cookie);
    response.set_content("moved to " + to, "text/plain");
}

/// A page in GBK bytes; `contentType` and `head` say as much about its charset as wanted.
httplib::Server::Handler gbkPage(std::string contentType, std::u16string head) {
    return [contentType = std::move(contentType), head = std::move(head)](const httplib::Request&,
                                                                          httplib::Response& response) {
        const std::u16string page =
            u"<html><head>" + head + u"<title>GBK</title></head><body>" + kGbkPageText + u"</body></html>";
        response.set_content(EncodeGbk(page), contentType.c_str());
    };
}

} // namespace

void RegisterTestEndpoints(httplib::Server& server) {
    // Every test page answers every method.
    const auto everyMethod = [&server](const std::string& path, const httplib::Server::Handler& handler) {
        ServePath(server, path, handler, Methods::Every);
    };
    everyMethod("/test/echo", echo);
    everyMethod("/test/set-cookie", setCookies);
    everyMethod("/test/headers", headers);
    everyMethod("/test/redirect", redirect);
    everyMethod("/test/slow", [&server](const httplib::Request& request, httplib::Response& response) {
        const long ms = numberParam(request, "ms", 1000, 0, kMaxSlowMs);
        holdBack(server, std::chrono::milliseconds(ms), response);
        response.set_content("slow answer after " + std::to_string(ms) + " ms", "text/plain");
    });
    everyMethod("/test/silent", [&server](const httplib::Request&, httplib::Response& response) {
        holdBack(server, kSilentLimit, response);
        response.status = 504;
    });
    everyMethod("/test/steady", [&server](const httplib::Request& request, httplib::Response& response) {
        // A page that keeps arriving, a KiB every tenth of a second, for "ms" milliseconds: slow, never stalled.
        const long pieces = numberParam(request, "ms", 1000, 0, kMaxSlowMs) / 100;
        response.set_content_provider(static_cast<std::size_t>(pieces) * 1024, "text/plain",
                                      [&server](std::size_t, std::size_t, httplib::DataSink& sink) {
                                          const std::string piece(1024, 's');
                                          return sink.write(piece.data(), piece.size()) &&
                                                 WaitWhileServing(server, std::chrono::milliseconds(100));
                                      });
    });
    everyMethod("/test/status", [](const httplib::Request& request, httplib::Response& response) {
        response.status = static_cast<int>(numberParam(request, "code", 500, 200, 599));
        response.set_content("status " + std::to_string(response.status), "text/plain");
    });
    everyMethod("/test/big", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(
            std::string(static_cast<std::size_t>(numberParam(request, "bytes", 0, 0, kMaxBigBytes)), 'a'),
            "text/plain");
    });
    everyMethod("/test/gbk/declared", gbkPage("text/html; charset=GBK", u""));
    everyMethod("/test/gbk/undeclared", gbkPage("text/html", u""));
    everyMethod("/test/gbk/meta",
                gbkPage("text/html", u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">"));
}

void RegisterTestPages(httplib::Server& server) {
    RegisterTestEndpoints(server);
    RegisterHostileEndpoints(server);
    server.set_pre_routing_handler([&server](const httplib::Request& request, httplib::Response& response) {
        const auto hostile = RouteHostileJobs(server, request, response);
        return hostile == httplib::Server::HandlerResponse::Handled ? hostile : RouteRefusedPages(request, response);
    });
}

} // namespace tarvisk::demo
