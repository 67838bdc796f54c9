// The ranking walk over real HTTP against the demo marketplace's item search
// (docs/demo-market.md lists where the demo shops' items stand).

#include "jobs/ranking/ranking_search.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>

#include "jobs/ranking/picture_view.h"
#include "jobs/shop/shop_crawl.h"
#include "demo/market_pages.h"
#include "routed_demo.h"
#include "text/encoding.h"

namespace tarvisk {
namespace {

class RankingSearchOverHttp : public test::RoutedToDemo {
protected:
    RankingResult walk(const RankingQuery& query) {
        ListViewSetColumns(m_table, kRankingColumnTitles, kRankingColumnWidths);
        return RunRankingSearch(query, m_table);
    }
    std::vector<std::u16string> column(const std::u16string& title) const {
        std::vector<std::u16string> cells;
        for (int row = 1; row <= m_table.rowCount(); ++row) {
            cells.push_back(ListViewGetCell(m_table, title, row));
        }
        return cells;
    }

    ResultTable m_table;
};

TEST_F(RankingSearchOverHttp, FindsTheDemoShopsItems) {
    struct Case {
        std::u16string keyword;
        std::u16string shop; // empty: look for `item`
        std::u16string item;
        int rows;
        std::u16string caption;
    };
    const Case cases[] = {
        // Found on page 2, which is asked for with the lower-cased address.
        {u"软件开发", u"", u"42054041382", 51, u"2页 2行 第3"},
        {u"连衣裙", u"demoshop2.taobao.com", u"", 10, u"1页 3行 第2"},
        {u"连衣裙", u"", u"42054051512", 284, u"7页 5行 第4"},
    };
    for (const Case& c : cases) {
        RankingQuery query{c.keyword, 10, RankingTarget::OneItem, c.item, {}};
        if (!c.shop.empty()) {
            std::u16string address = c.shop;
            query.target = RankingTarget::ShopItems;
            for (const ShopItem& item : CrawlShop(address).items) {
                query.shopItemIds.push_back(item.id);
            }
        }
        const RankingResult result = walk(query);
        const std::string name = ToUtf8(c.keyword + u" " + c.shop + c.item);
        EXPECT_TRUE(result.found) << name;
        EXPECT_EQ(result.caption, c.caption) << name;
        EXPECT_EQ(result.toolTip, u"已找到") << name;
        EXPECT_EQ(m_table.rowCount(), c.rows) << name;
        EXPECT_EQ(ListViewGetCell(m_table, u"位置", c.rows), c.caption) << name;
    }
}

TEST_F(RankingSearchOverHttp, RowsCarryTheItemData) {
    const RankingResult result = walk({u"连衣裙", 1, RankingTarget::OneItem, u"1", {}});
    EXPECT_FALSE(result.found);
    EXPECT_EQ(result.caption, u"未找到");
    ASSERT_EQ(m_table.rowCount(), 44);
    const std::vector<std::u16string> ids = column(u"id");
    for (int row = 1; row <= 44; ++row) {
        const std::u16string picture = ListViewGetCell(m_table, u"图片", row);
        EXPECT_TRUE(picture.starts_with(u"http://pics.taobaocdn.com/bao/uploaded/i")) << ToUtf8(picture);
        EXPECT_TRUE(picture.ends_with(u"/" + ids[row - 1] + u".jpg")) << ToUtf8(picture);
        EXPECT_FALSE(ListViewGetCell(m_table, u"销售量", row).empty());
        EXPECT_EQ(ListViewGetCell(m_table, u"销售量", row).find_first_not_of(u"0123456789"), std::u16string::npos);
    }
    EXPECT_EQ(ids[9], u"43100000021");
    EXPECT_EQ(ListViewGetCell(m_table, u"宝贝名", 10), u"演示店铺二 热卖 第4款");
    EXPECT_TRUE(ListViewGetCell(m_table, u"宝贝名", 1).starts_with(u"连衣裙 "));

    // The picture view points at pictures the picture host serves.
    const std::u16string html = PictureViewHtml(m_table);
    const std::size_t src = html.find(u"src='") + 5;
    const std::string picture = ToUtf8(html.substr(src, html.find(u'\'', src) - src));
    ASSERT_TRUE(picture.starts_with("http://pics.taobaocdn.com/")) << picture;
    httplib::Client client("127.0.0.1", s_market->port());
    const auto answer = client.Get(picture.substr(25), {{"Host", "pics.taobaocdn.com"}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_TRUE(answer->body.starts_with("GIF89a"));
}

TEST_F(RankingSearchOverHttp, TheSameKeywordGivesTheSameItems) {
    walk({u"Phone Case", 2, RankingTarget::OneItem, u"1", {}});
    const std::vector<std::u16string> first = column(u"id");
    walk({u"phone case", 2, RankingTarget::OneItem, u"1", {}});
    EXPECT_EQ(column(u"id"), first);
    ASSERT_EQ(first.size(), 88u);
    EXPECT_NE(first[0], first[44]); // page 2 holds other items than page 1
}

TEST_F(RankingSearchOverHttp, EachKindOfUnreadablePageAtTheFirstAndALaterPage) {
    struct Case {
        const char* kind;
        PageKind expected;
        bool endsTheWalk;
        const char16_t* address; // what the unread page is named by: the start of its address
    };
    const Case cases[] = {
        {"login", PageKind::Login, true,
         u"https://login.taobao.com/member/login.jhtml?redirectURL=http%3A%2F%2Fs.taobao.com"},
        {"punish", PageKind::Verification, true, u"http://s.taobao.com//search/_____tmd_____/punish?"},
        {"slider", PageKind::Verification, true, u"http://s.taobao.com/search?"},
        {"empty", PageKind::Empty, false, u"http://s.taobao.com/search?"},
        {"busy", PageKind::ErrorStatus, false, u"http://s.taobao.com/search?"},
        // A page of another layout lists nothing the walk may count on: the walk goes on past it.
        {"newlayout", PageKind::Unrecognised, false, u"http://s.taobao.com/search?"},
    };
    for (const Case& c : cases) {
        for (const int page : {1, 3}) {
            const std::u16string keyword = u"refuse-" + FromUtf8(c.kind) + u"-" + FromUtf8(std::to_string(page));
            const RankingResult result = walk({keyword, 4, RankingTarget::OneItem, u"1", {}});
            const std::string name = ToUtf8(keyword);
            const int rowsBefore = 44 * (page - 1);
            EXPECT_FALSE(result.found) << name;
            EXPECT_EQ(result.endedAtUnreadPage, c.endsTheWalk) << name;
            EXPECT_EQ(result.pagesFetched, c.endsTheWalk ? page : 4) << name;
            EXPECT_EQ(m_table.rowCount(), c.endsTheWalk ? rowsBefore : 44 * 3) << name;
            ASSERT_EQ(result.unreadPages.size(), 1u) << name;
            EXPECT_EQ(result.unreadPages[0].number, page) << name;
            EXPECT_EQ(result.unreadPages[0].kind, c.expected) << name;
            EXPECT_TRUE(result.unreadPages[0].address.starts_with(c.address)) << ToUtf8(result.unreadPages[0].address);
            EXPECT_EQ(result.caption, kRankingIncomplete) << name;
            EXPECT_FALSE(RankingUnreadMessage(result).empty()) << name;
        }
    }
}

TEST_F(RankingSearchOverHttp, APastTheLastResultIsReadAndListsNothing) {
    // 冷门宝贝 has 50 results: its page 3 is a search without results.
    const RankingResult result = walk({u"冷门宝贝", 3, RankingTarget::OneItem, u"1", {}});
    EXPECT_EQ(m_table.rowCount(), 50);
    EXPECT_TRUE(result.unreadPages.empty());
    EXPECT_EQ(result.caption, kRankingNotFound);
}

TEST_F(RankingSearchOverHttp, TheDemosThrottledKeywordEndsAtItsThirdPage) {
    const RankingResult result = walk({u"限流宝贝", 10, RankingTarget::OneItem, u"42054041382", {}});
    EXPECT_EQ(m_table.rowCount(), 88);
    EXPECT_EQ(result.pagesFetched, 3);
    ASSERT_TRUE(result.endedAtUnreadPage);
    EXPECT_EQ(result.unreadPages.back().kind, PageKind::Verification);
    EXPECT_EQ(RankingUnreadMessage(result),
              u"排名查询在第3页停止：淘宝要求安全验证（滑块或访问受限），没有找到目标宝贝。之前各页的宝贝已列出。"
              u"请先在浏览器中通过验证，再重新查询。");
}

TEST_F(RankingSearchOverHttp, SalesWrittenWithWanAreListedAsTheirCount) {
    walk({demo::kCurrentSalesKeyword, 1, RankingTarget::OneItem, u"1", {}});
    ASSERT_EQ(m_table.rowCount(), 44);
    int wan = 0;
    for (const std::u16string& sales : column(u"销售量")) {
        ASSERT_FALSE(sales.empty());
        ASSERT_EQ(sales.find_first_not_of(u"0123456789"), std::u16string::npos) << ToUtf8(sales);
        const long count = std::stol(ToUtf8(sales));
        if (count >= 10000) {
            ++wan;
            EXPECT_EQ(count % 1000, 0) << count; // "2.3万+" stands for 23000
        } else if (count >= 100) {
            EXPECT_EQ(count % 100, 0) << count; // "300+"
        }
    }
    EXPECT_GT(wan, 10);
}

} // namespace
} // namespace tarvisk
