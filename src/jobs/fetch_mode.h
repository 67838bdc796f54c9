#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <iterator>

#include "jobs/page_check.h"

// How a job reaches its pages: by the program's own direct requests, through the browser (which loads the page
// as a visitor's browser does and hands back what its scripts received), or automatically: direct requests while
// they give pages the job can read, and the browser for the rest of the run from the first page that only the
// browser could read on.

namespace tarvisk {

enum class FetchMode { Direct, Browser, Auto };

/// A mode's names: the word of the command line and the settings file, and the caption the windows show.
struct FetchModeName {
    FetchMode mode;
    std::string_view word;
    std::u16string_view caption;
};
/// Every mode, in the order the windows list them.
inline constexpr FetchModeName kFetchModeNames[] = {
    {FetchMode::Auto, "auto", u"自动"},
    {FetchMode::Direct, "direct", u"直接请求"},
    {FetchMode::Browser, "browser", u"通过浏览器"},
};

/// The mode a word gives: "direct", "browser" or "auto"; none for any other text.
std::optional<FetchMode> ParseFetchMode(std::string_view word);
/// The word of `mode`.
std::string_view FetchModeWord(FetchMode mode);

/// The page fetch of one run in `mode`. In Auto mode a page the direct fetch gave that `readable` refuses is asked
/// again through the browser, and so is every page after it; `readable` is asked about direct pages only, and the
/// read it keeps on the page (JudgedOnce) goes on with it.
template <typename Address>
std::function<FetchedPage(Address)> ChooseFetch(FetchMode mode, std::function<FetchedPage(Address)> direct,
                                                std::function<FetchedPage(Address)> browser,
                                                std::function<bool(FetchedPage&)> readable) {
    switch (mode) {
    case FetchMode::Direct:
        return direct;
    case FetchMode::Browser:
        return browser;
    case FetchMode::Auto:
        break;
    }
    auto inBrowser = std::make_shared<bool>(false);
    return [direct = std::move(direct), browser = std::move(browser), readable = std::move(readable),
            inBrowser](Address address) {
        if (!*inBrowser) {
            FetchedPage page = direct(address);
            if (readable(page)) {
                return page;
            }
            *inBrowser = true;
        }
        return browser(address);
    };
}

} // namespace tarvisk
