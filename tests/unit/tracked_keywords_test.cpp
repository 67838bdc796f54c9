#include "store/tracked_keywords.h"

#include <string>
#include <vector>

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

#include "store/local_store.h"
#include "store/schema.h"
#include "text/encoding.h"
#include "store_test_support.h"

namespace tarvisk {
namespace {

class TrackedKeywordsTest : public test::ScratchStore {};

const TrackedTarget kItem = ItemTarget(u"42054041382");
const TrackedTarget kShop = ShopTarget(u"demoshop1.taobao.com");

std::vector<std::u16string> keywordsOf(LocalStore& store, const TrackedTarget& target) {
    const auto keywords = TrackedKeywords(store);
    return keywords ? KeywordsOf(*keywords, target) : std::vector<std::u16string>{u"(unreadable)"};
}

TEST_F(TrackedKeywordsTest, EachTargetKeepsItsOwnKeywordsAndRules) {
    LocalStore store(m_file, recorded());
    ASSERT_TRUE(SetTargetKeywords(store, kItem, {u"连衣裙", u"a", u"连衣裙", u" ", u"b"}, {3, true, true}));
    ASSERT_TRUE(SetTargetKeywords(store, kShop, {u"a", u"c"}, {0, false, true}));
    EXPECT_EQ(keywordsOf(store, kItem), (std::vector<std::u16string>{u"连衣裙", u"a", u"b"}));
    EXPECT_EQ(keywordsOf(store, kShop), (std::vector<std::u16string>{u"a", u"c"}));
    EXPECT_EQ(TrackedTargets(*TrackedKeywords(store)), (std::vector<TrackedTarget>{kItem, kShop}));

    // A keyword kept keeps its rule; a new one takes the rule given; the other target's keywords stay.
    ASSERT_EQ(AddTrackedKeyword(store, u"a", kItem, {9, false, false}), TrackChange::Updated);
    ASSERT_TRUE(SetTargetKeywords(store, kItem, {u"b", u"a", u"d"}, {4, true, false}));
    const std::vector<TrackedKeyword> expected = {
        {u"a", kShop, {0, false, true}},  {u"c", kShop, {0, false, true}}, {u"b", kItem, {3, true, true}},
        {u"a", kItem, {9, false, false}}, {u"d", kItem, {4, true, false}},
    };
    EXPECT_EQ(TrackedKeywords(store), expected);

    EXPECT_EQ(AddTrackedKeyword(store, u"e", kShop, {}), TrackChange::Added);
    EXPECT_EQ(RemoveTrackedKeyword(store, u"a", kShop), TrackChange::Removed);
    EXPECT_EQ(RemoveTrackedKeyword(store, u"a", kShop), TrackChange::NotTracked);
    EXPECT_EQ(keywordsOf(store, kShop), (std::vector<std::u16string>{u"c", u"e"}));
    ASSERT_TRUE(SetTargetAlertRule(store, kShop, {7, true, true}));
    const auto ruled = TrackedKeywords(store);
    ASSERT_TRUE(ruled);
    for (const TrackedKeyword& keyword : *ruled) {
        EXPECT_EQ(keyword.alert.dropPlaces == 7, keyword.target == kShop) << ToUtf8(keyword.keyword);
    }
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(TrackedKeywordsTest, KeywordsTrackedBeforeTargetsTakeTheWindowsTargetOnce) {
    {
        // A database of the version before keywords had targets.
        StoreOptions old = recorded();
        const auto steps = SchemaSteps();
        old.steps = steps.first(3);
        LocalStore store(m_file, old);
        ASSERT_TRUE(store.write([](SQLite::Database& db) {
            db.exec("INSERT INTO tracked_keywords (position, keyword) VALUES (1, 'a'), (2, 'b')");
        }));
    }
    LocalStore store(m_file, recorded());
    const auto before = TrackedKeywords(store);
    ASSERT_TRUE(before);
    ASSERT_EQ(before->size(), 2u);
    EXPECT_FALSE((*before)[0].hasTarget());
    EXPECT_EQ((*before)[0].alert, AlertRule{});
    EXPECT_TRUE(TrackedTargets(*before).empty());

    // The item already tracks b: it stays once.
    ASSERT_EQ(AddTrackedKeyword(store, u"b", kItem, {}), TrackChange::Added);
    ASSERT_TRUE(AdoptWindowTarget(store, kItem));
    EXPECT_EQ(keywordsOf(store, kItem), (std::vector<std::u16string>{u"a", u"b"}));
    // Once adopted, another target of the window changes nothing.
    ASSERT_TRUE(AdoptWindowTarget(store, kShop));
    EXPECT_EQ(keywordsOf(store, kShop), std::vector<std::u16string>{});
    EXPECT_EQ(keywordsOf(store, kItem), (std::vector<std::u16string>{u"a", u"b"}));
}

} // namespace
} // namespace tarvisk
