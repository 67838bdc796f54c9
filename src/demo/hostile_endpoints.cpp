// Answers that misbehave on purpose, for the reliability tests: a body dripped a byte a second, a
// body far above any limit (streamed, never held in memory), a connection dropped in the middle of a
// body, a thousand cookies, broken GBK and UTF-8, a gzip bomb, a redirect loop. Under /test/hostile/
// on every host, and at the places a job meets them in real use:
//
// - a shop whose host begins with "hostile-FAULT." (for example hostile-cut.taobao.com) has a first
//   search page full of items and then misbehaves with FAULT on every later page;
// - a search for the keyword "hostile-FAULT" has a first result page of items and then misbehaves;
// - a shop whose host begins with "cookie-echo" lists every cookie it received as an item title, so a
//   test can see which of the browser's cookies reached a host;
// - a shop whose host begins with "control-titles" lists items whose titles hold terminal escape
//   sequences and other control characters.
//
// FAULT is one of: cut (the connection is dropped half-way through the body), huge (a 100 MiB body),
// flood (the same in chunks, its length not announced), silent (no answer until the server stops),
// drip (a byte a second), short (half of the announced body, then nothing more on an open
// connection), error (a 500 error page).

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

#include <zlib.h>

#include "demo/demo_pages.h"
#include "demo/test_pages.h"
#include "demo/market_pages.h"
#include "net/endpoints.h"
#include "text/encoding.h"

namespace tarvisk::demo {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kHugeBytes = std::size_t{100} << 20;
constexpr auto kSilentLimit = std::chrono::minutes(2);
constexpr std::size_t kDripBytes = 30;
constexpr std::size_t kCutBytes = 200 * 1024;
constexpr std::size_t kShortBytes = 4 * 1024;
constexpr long kMaxCookies = 10000;
// A gzip member that inflates to 258 * kBombMatches + 1 zero bytes (about 100 MiB).
constexpr std::size_t kBombMatches = 406'000;

constexpr std::string_view kHostilePrefix = "hostile-";
constexpr std::string_view kCookieEchoPrefix = "cookie-echo";
constexpr std::string_view kControlTitlesPrefix = "control-titles";

long numberParam(const httplib::Request& request, const char* name, long fallback, long high) {
    const std::string text = request.get_param_value(name);
    long value = fallback;
    if (text.empty() || std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc())
        value = fallback;
    return std::clamp(value, 0L, high);
}

/// A body of `size` bytes of `fill`, produced chunk by chunk as the connection takes it. With `cutAt`
/// below `size`, the connection is dropped once that many bytes are out, though the answer promised more.
void streamBody(httplib::Response& response, std::size_t size, char fill, std::size_t cutAt, const char* type) {
    response.set_content_provider(size, type,
                                  [fill, cutAt](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                      if (offset >= cutAt)
                                          return false;
                                      const std::string chunk(std::min({length, kChunk, cutAt - offset}), fill);
                                      // A client that gave up makes the write fail: stop producing then.
                                      return sink.write(chunk.data(), chunk.size());
                                  });
}

/// A body of kHugeBytes in chunks, with no length announced: only reading it shows how long it is.
void flood(httplib::Response& response) {
    response.set_chunked_content_provider("text/html", [](std::size_t offset, httplib::DataSink& sink) {
        if (offset >= kHugeBytes) {
            sink.done();
            return true;
        }
        const std::string chunk(kChunk, 'f');
        return sink.write(chunk.data(), chunk.size());
    });
}

/// A body that arrives one byte a second; it ends early when the client goes or the server stops.
void drip(const httplib::Server& server, httplib::Response& response) {
    response.set_content_provider(kDripBytes, "text/plain",
                                  [&server](std::size_t, std::size_t, httplib::DataSink& sink) {
                                      return sink.write("x", 1) && WaitWhileServing(server, std::chrono::seconds(1));
                                  });
}

/// A body that stops half-way and then keeps the connection open without a word, as a server does
/// that promised more than it has.
void shortBody(const httplib::Server& server, httplib::Response& response) {
    response.set_content_provider(2 * kShortBytes, "text/html",
                                  [&server](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                      if (offset < kShortBytes) {
                                          const std::string half(kShortBytes - offset, 's');
                                          return sink.write(half.data(), half.size());
                                      }
                                      WaitWhileServing(server, kSilentLimit);
                                      return false;
                                  });
}

/// Sends the misbehaving answer named `fault`; false for a name that is no fault.
bool sendFault(std::string_view fault, const httplib::Server& server, httplib::Response& response) {
    if (fault == "cut") {
        streamBody(response, 2 * kCutBytes, 'c', kCutBytes, "text/html");
    } else if (fault == "huge") {
        streamBody(response, kHugeBytes, 'h', kHugeBytes, "text/html");
    } else if (fault == "flood") {
        flood(response);
    } else if (fault == "silent") {
        if (!WaitWhileServing(server, kSilentLimit))
            response.set_header("Connection", "close");
        response.status = 504;
    } else if (fault == "drip") {
        drip(server, response);
    } else if (fault == "short") {
        shortBody(server, response);
    } else if (fault == "error") {
        response.status = 500;
        response.set_content("<html><body><h1>500 Internal Server Error</h1></body></html>", "text/html");
    } else {
        return false;
    }
    return true;
}

/// The gzip bomb: one fixed-Huffman deflate block of a zero byte and then kBombMatches copies of
/// the longest match at distance 1, built bit by bit so that nothing large is ever held.
const std::string& gzipBomb() {
    static const std::string bomb = [] {
        std::string out = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 0, 3}; // gzip header: deflate, no name, Unix
        std::uint32_t bits = 0;
        int count = 0;
        // Huffman codes go out most significant bit first, everything else least significant first.
        const auto put = [&](std::uint32_t value, int width, bool huffman) {
            for (int i = 0; i < width; ++i) {
                const int bit = huffman ? (value >> (width - 1 - i)) & 1 : (value >> i) & 1;
                bits |= static_cast<std::uint32_t>(bit) << count;
                if (++count == 8) {
                    out += static_cast<char>(bits);
                    bits = 0;
                    count = 0;
                }
            }
        };
        put(1, 1, false);   // the final block
        put(1, 2, false);   // fixed Huffman codes
        put(0x30, 8, true); // the literal 0
        for (std::size_t i = 0; i < kBombMatches; ++i) {
            put(0xC5, 8, true); // length 258 (symbol 285)
            put(0, 5, true);    // distance 1 (distance code 0)
        }
        put(0, 7, true); // end of block
        if (count > 0)
            out += static_cast<char>(bits);
        const std::size_t inflated = 1 + 258 * kBombMatches;
        // The check value of the inflated zeros, pieced together without making them.
        const std::string zeros(258, '\0');
        const uLong zero = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), 1);
        const uLong run = crc32(0, reinterpret_cast<const Bytef*>(zeros.data()), 258);
        uLong crc = zero;
        uLong block = run;
        z_off_t blockLength = 258;
        for (std::size_t n = kBombMatches; n > 0; n >>= 1) {
            if ((n & 1) != 0)
                crc = crc32_combine(crc, block, blockLength);
            block = crc32_combine(block, block, blockLength);
            blockLength *= 2;
        }
        for (const std::uint32_t word : {static_cast<std::uint32_t>(crc), static_cast<std::uint32_t>(inflated)}) {
            for (int shift = 0; shift < 32; shift += 8)
                out += static_cast<char>(word >> shift);
        }
        return out;
    }();
    return bomb;
}

std::string itemLink(const std::string& id, const std::string& title) {
    return "<dl class=\"item\"><dd class=\"detail\"><a class=\"item-name\" href=\"http://" +
           ToUtf8(endpoints::kItemHost) + "/item.htm?id=" + id + "\" target=\"_blank\">" + title + "</a></dd></dl>\n";
}

/// A shop page that lists every cookie of the request as an item title, then the end notice.
std::string cookieEchoPage(const httplib::Request& request, int page) {
    std::string html = "<html><head><meta charset=\"utf-8\"><title>cookie echo</title></head><body>\n";
    if (page > 1) {
        return html + ToUtf8(u"<p>很抱歉，搜索到 0 个宝贝</p>") + "</body></html>\n";
    }
    long long id = 1'000'000'000LL;
    for (std::size_t i = 0; i < request.get_header_value_count("Cookie"); ++i) {
        const std::string line = request.get_header_value("Cookie", i);
        for (std::size_t start = 0; start < line.size();) {
            const std::size_t end = std::min(line.find(';', start), line.size());
            std::string cookie = line.substr(start, end - start);
            cookie.erase(0, cookie.find_first_not_of(' '));
            if (!cookie.empty())
                html += itemLink(std::to_string(id++), cookie);
            start = end + 1;
        }
    }
    // One item that is always there, so that a page without cookies still counts as a page of items.
    html += itemLink(std::to_string(id), "cookie-echo");
    return html + "</body></html>\n";
}

/// A shop page whose item titles would move the cursor, change colours, write the clipboard or hide text on a
/// terminal that printed them as they are; then the end notice.
std::string controlTitlesPage(int page) {
    std::string html = "<html><head><meta charset=\"utf-8\"><title>control titles</title></head><body>\n";
    if (page > 1) {
        return html + ToUtf8(u"<p>很抱歉，搜索到 0 个宝贝</p>") + "</body></html>\n";
    }
    const char* const titles[] = {
        "\x1b[31mred\x1b[0m", // a colour
        "\x1b]52;c;cm0gLXJmIH4=\x07"
        "clipboard", // a clipboard write (OSC 52, ended by BEL)
        "\xc2\x9b"
        "2Jclear",                        // "erase the screen" with the one-character C1 introducer
        "real\rfake",                     // a carriage return that overwrites the line
        "back\x08\x08\x08\x08spaced\x7f", // backspaces and DEL
        "plain",
    };
    long long id = 1'100'000'000LL;
    for (const char* title : titles)
        html += itemLink(std::to_string(id++), title);
    return html + "</body></html>\n";
}

int pageParam(const httplib::Request& request, const char* name, int fallback) {
    return static_cast<int>(numberParam(request, name, fallback, 1'000'000));
}

} // namespace

/// The job-level faults and the cookie echo: handled before routing, so the ordinary market pages
/// answer every other shop and keyword.
httplib::Server::HandlerResponse RouteHostileJobs(const httplib::Server& server, const httplib::Request& request,
                                                  httplib::Response& response) {
    using Handled = httplib::Server::HandlerResponse;
    const std::string host = RequestHost(request);
    const bool shopPage = request.path.ends_with("/search.htm");
    if (shopPage && host.starts_with(kCookieEchoPrefix)) {
        response.set_content(cookieEchoPage(request, pageParam(request, "pageNo", 1)), "text/html; charset=utf-8");
        return Handled::Handled;
    }
    if (shopPage && host.starts_with(kControlTitlesPrefix)) {
        response.set_content(controlTitlesPage(pageParam(request, "pageNo", 1)), "text/html; charset=utf-8");
        return Handled::Handled;
    }
    if (shopPage && host.starts_with(kHostilePrefix)) {
        const std::string fault = host.substr(kHostilePrefix.size(), host.find('.') - kHostilePrefix.size());
        if (pageParam(request, "pageNo", 1) > 1)
            return sendFault(fault, server, response) ? Handled::Handled : Handled::Unhandled;
        response.set_content(EncodeGbk(ShopSearchPage(DemoShops().front().host, 1)), "text/html; charset=GBK");
        return Handled::Handled;
    }
    const std::string keyword = request.get_param_value("q");
    if (request.path.ends_with("/search") && host == ToUtf8(endpoints::kSearchHost) &&
        keyword.starts_with(kHostilePrefix)) {
        const int offset = pageParam(request, "s", 0);
        if (offset > 0)
            return sendFault(std::string_view(keyword).substr(kHostilePrefix.size()), server, response)
                       ? Handled::Handled
                       : Handled::Unhandled;
        response.set_content(ToUtf8(SearchResultPage(FromUtf8(keyword), 0)), "text/html; charset=utf-8");
        return Handled::Handled;
    }
    return Handled::Unhandled;
}

void RegisterHostileEndpoints(httplib::Server& server) {
    const auto serve = [&server](const std::string& path, const httplib::Server::Handler& handler) {
        ServePath(server, "/test/hostile/" + path, handler);
    };
    serve("(cut|huge|flood|silent|drip|short|error)",
          [&server](const httplib::Request& request, httplib::Response& response) {
              sendFault(request.matches[1].str(), server, response);
          });
    serve("cookies", [](const httplib::Request& request, httplib::Response& response) {
        // Names from c<first> on, so that each page of a test can bring new ones.
        const long count = numberParam(request, "n", 1000, kMaxCookies);
        const long first = numberParam(request, "first", 0, 1'000'000'000);
        for (long i = first; i < first + count; ++i)
            response.headers.emplace("Set-Cookie", "c" + std::to_string(i) + "=v" + std::to_string(i) + "; Path=/");
        response.set_content(std::to_string(count) + " cookies set", "text/plain");
    });
    serve("bad-gbk", [](const httplib::Request&, httplib::Response& response) {
        // Pairs GBK does not define, a lone trail byte, and a lead byte cut off at the very end.
        response.set_content(EncodeGbk(u"<p>价格：") + "\xFF\xFF\x80\x20\xA1\x7F" + EncodeGbk(u"元</p>") + "\x81",
                             "text/html; charset=GBK");
    });
    serve("bad-utf8", [](const httplib::Request&, httplib::Response& response) {
        // Overlong forms, an encoded surrogate, bytes that start nothing, a sequence cut off at the end.
        response.set_content(std::string("<p>") + "\xC0\xAF\xE0\x80\xAF\xED\xA0\x80\xFF\xFE" + ToUtf8(u"宝贝") +
                                 "\xF4\x90\x80\x80</p>\xE5\xAE",
                             "text/html; charset=utf-8");
    });
    serve("gzip-bomb", [](const httplib::Request& request, httplib::Response& response) {
        // Tells what the client asked for, so a test can see that no compressed answer was wanted.
        response.set_header("X-Accept-Encoding-Received", request.has_header("Accept-Encoding")
                                                              ? request.get_header_value("Accept-Encoding")
                                                              : "none");
        response.set_header("Content-Encoding", "gzip");
        response.set_content(gzipBomb(), "text/html");
    });
    serve("loop", [](const httplib::Request& request, httplib::Response& response) {
        const long hop = numberParam(request, "hop", 0, 1'000'000);
        response.status = 302;
        response.set_header("Location", "/test/hostile/loop?hop=" + std::to_string(hop + 1));
        response.headers.emplace("Set-Cookie", "hop=" + std::to_string(hop) + "; Path=/");
        response.set_content("round and round", "text/plain");
    });
}

} // namespace tarvisk::demo
