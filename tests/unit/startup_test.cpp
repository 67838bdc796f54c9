#include "jobs/startup/startup.h"

#include <gtest/gtest.h>

namespace tarvisk {
namespace {

struct FolderCase {
    std::u16string folder;
    bool archive;
};

TEST(RunsFromArchiveFolder, LooksOnlyAtTheFirstLettersOfTheLastPiece) {
    const FolderCase cases[] = {
        {u"C:\\Users\\me\\AppData\\Local\\Temp\\Rar$EXa0.123", true},
        {u"/tmp/zipped", true},
        {u"/home/me/Rar$EXa0.123", true},
        {u"C:/mixed\\seps/zipfolder", true},
        {u"rarely", true},
        {u"/tmp/myrar", false},
        {u"/tmp/ra", false},
        {u"/rar/program", false},
        {u"C:\\zip\\tarvisk", false},
        {u"/tmp/zipped/", false},
        {u"", false},
        {u"/tmp/ｒar", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RunsFromArchiveFolder(c.folder), c.archive) << std::string(c.folder.begin(), c.folder.end());
    }
}

struct NoticeCase {
    std::u16string answer;
    std::optional<Notice> notice;
};

TEST(ParseNotice, TakesMessageAndAddressOfAPlainTextNotice) {
    const NoticeCase cases[] = {
        {u"", std::nullopt},
        {u"新版本已发布", std::nullopt},
        {u"<html>请升级|http://example.com/</html>", std::nullopt},
        {u"a < b|http://example.com/", std::nullopt},
        {u"请升级|http://example.com/new", Notice{u"请升级", u"http://example.com/new"}},
        {u"请升级|http://example.com/new|ignored|too", Notice{u"请升级", u"http://example.com/new"}},
        {u"只有消息|", Notice{u"只有消息", u""}},
        {u"|http://example.com/", Notice{u"", u"http://example.com/"}},
        {u"|", Notice{u"", u""}},
        {u"a||b", Notice{u"a", u""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseNotice(c.answer), c.notice) << std::string(c.answer.begin(), c.answer.end());
    }
}

TEST(IsWebAddress, AcceptsOnlyHttpAndHttpsWithAHost) {
    const std::pair<std::u16string, bool> cases[] = {
        {u"http://example.com/", true},
        {u"https://example.com/a?b=c", true},
        {u"HTTP://EXAMPLE.COM", true},
        {u"", false},
        {u"http://", false},
        {u"https:///path", false},
        {u"file:///etc/passwd", false},
        {u"javascript:alert(1)", false},
        {u"ftp://example.com/", false},
        {u"example.com", false},
        {u" http://example.com/", false},
        {u"c:\\windows\\system32\\calc.exe", false},
    };
    for (const auto& [address, web] : cases) {
        EXPECT_EQ(IsWebAddress(address), web) << std::string(address.begin(), address.end());
    }
}

} // namespace
} // namespace tarvisk
