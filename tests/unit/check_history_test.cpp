#include "store/check_history.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "store/local_store.h"
#include "text/encoding.h"
#include "store_test_support.h"

namespace tarvisk {
namespace {

class CheckHistoryTest : public test::ScratchStore {};

std::vector<std::u16string> values(const ReputationFacts& facts) {
    std::vector<std::u16string> texts;
    for (const FactField& field : FactFields()) {
        texts.push_back(field.value(facts));
    }
    return texts;
}

TEST_F(CheckHistoryTest, AStoredCheckComesBackWithEveryFact) {
    ReputationFacts facts = test::SampleFacts(u"皇冠旗舰店", 56, 320, Verdict::Safe);
    facts.role = Role::Seller;
    facts.certification = Certification::Enterprise;
    facts.sellerCredit = 123456789;
    facts.weekNeutral = 6;
    facts.weekBad = 2;
    facts.monthNeutral = 21.5;
    facts.newAccount = true;
    facts.rawRatingText = u"not stored";
    LocalStore store(m_file, recorded());
    ASSERT_TRUE(StoreCheck(store, facts, 1714543402));
    const auto stored = LatestCheck(store, u"皇冠旗舰店");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->checkedAt, 1714543402);
    EXPECT_EQ(stored->facts.account, facts.account);
    EXPECT_EQ(values(stored->facts), values(facts));
    EXPECT_TRUE(stored->facts.rawRatingText.empty());
    EXPECT_FALSE(LatestCheck(store, u"皇冠"));
}

TEST_F(CheckHistoryTest, ChecksComeNewestFirstPerAccountOrAll) {
    LocalStore store(m_file, recorded());
    const std::pair<const char16_t*, std::int64_t> checks[] = {{u"a", 100}, {u"b", 300}, {u"a", 200}, {u"a", 200}};
    double credit = 0;
    for (const auto& [account, time] : checks) {
        ASSERT_TRUE(StoreCheck(store, test::SampleFacts(account, ++credit), time));
    }
    const auto ofA = StoredChecks(store, {u"a"});
    ASSERT_TRUE(ofA);
    std::vector<double> credits;
    for (const StoredCheck& check : *ofA) {
        credits.push_back(check.facts.buyerCredit);
    }
    // Two checks in the same second keep the order in which they were stored.
    EXPECT_EQ(credits, (std::vector<double>{4, 3, 1}));
    EXPECT_EQ(StoredChecks(store, {})->size(), 4u);
    EXPECT_EQ(StoredChecks(store, {u"", false, 0, 2})->front().facts.account, u"b");
    EXPECT_EQ(StoredChecks(store, {u"", false, 0, 2})->size(), 2u);
}

TEST_F(CheckHistoryTest, RowsCarryTheAccountsCheckBeforeThemAndTheirListEntryAPageAtATime) {
    LocalStore store(m_file, recorded());
    const std::pair<const char16_t*, std::int64_t> checks[] = {
        {u"老a", 100}, {u"b", 150}, {u"老a", 200}, {u"老a", 300}};
    for (const auto& [account, time] : checks) {
        ASSERT_TRUE(StoreCheck(store, test::SampleFacts(account), time));
    }
    ASSERT_TRUE(PutListEntries(store, {{u"老a", BuyerList::Allow, u"老客户", 0}}));
    const struct {
        const char16_t* account;
        bool partOfName;
        std::size_t offset, limit;
        std::vector<std::int64_t> times, previous;
    } cases[] = {
        {u"", false, 0, 0, {300, 200, 150, 100}, {200, 100, 0, 0}},
        // The previous check of a row is found whether or not the page holds it.
        {u"", false, 0, 2, {300, 200}, {200, 100}},
        {u"", false, 2, 1, {150}, {0}},
        {u"老", true, 1, 0, {200, 100}, {100, 0}},
        {u"老", false, 0, 0, {}, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::int64_t> times, previous;
        ASSERT_TRUE(ReadCheckRows(store, {c.account, c.partOfName, c.offset, c.limit}, [&](CheckRow&& row) {
            times.push_back(row.checkedAt);
            previous.push_back(row.previous ? row.previous->checkedAt : 0);
            EXPECT_EQ(row.listed.has_value(), row.account == u"老a");
            EXPECT_FALSE(row.listed.unknown() || row.previous.unknown());
        }));
        EXPECT_EQ(times, c.times);
        EXPECT_EQ(previous, c.previous);
    }
}

TEST(ChangedFacts, NamesEachFactThatDiffersByItsPath) {
    const std::pair<std::function<void(ReputationFacts&)>, std::vector<std::string>> cases[] = {
        {[](ReputationFacts&) {}, {}},
        {[](ReputationFacts& f) { f.weekGood = 7; }, {"week.good"}},
        {[](ReputationFacts& f) { f.monthBad = 2; }, {"month.bad"}},
        {[](ReputationFacts& f) { f.buyerCredit = 40; }, {"buyer_credit"}},
        {[](ReputationFacts& f) {
             f.weekGood = 7;
             f.verdict = Verdict::Unsafe;
         },
         {"week.good", "verdict"}},
        {[](ReputationFacts& f) { f.certification = Certification::None; }, {"certification"}},
        {[](ReputationFacts& f) { f.role = Role::Seller; }, {"role"}},
        {[](ReputationFacts& f) { f.goodRate = u"99.5"; }, {"good_rate"}},
        {[](ReputationFacts& f) {
             f.daysSinceRegistration += 30;
             f.newAccount = true;
         },
         {"days_since_registration", "new_account"}},
        {[](ReputationFacts& f) { f.rawRatingText = u"another page"; }, {}},
        {[](ReputationFacts& f) { f.account = u"other"; }, {}},
    };
    const ReputationFacts before = test::SampleFacts(u"a");
    for (const auto& [change, paths] : cases) {
        ReputationFacts after = before;
        change(after);
        EXPECT_EQ(ChangedFacts(before, after), paths);
    }
}

TEST(FactFields, FollowTheJsonLineAndNameEveryFactForTheWindow) {
    std::vector<std::string> paths;
    for (const FactField& field : FactFields()) {
        paths.emplace_back(field.path);
        EXPECT_NE(std::u16string(field.label), u"");
    }
    EXPECT_EQ(paths, (std::vector<std::string>{"registration_date", "days_since_registration", "new_account", "user_id",
                                               "rating_link", "good_rate", "certification", "role", "seller_credit",
                                               "buyer_credit", "week.good", "week.neutral", "week.bad", "month.good",
                                               "month.neutral", "month.bad", "verdict"}));
    ReputationFacts facts = test::SampleFacts(u"a");
    facts.role = Role::Seller;
    std::vector<std::u16string> shown;
    for (const FactField& field : FactFields()) {
        shown.push_back(field.shownText(facts));
    }
    EXPECT_EQ(shown[2], u"否");
    EXPECT_EQ(shown[5], u"99.85%");
    EXPECT_EQ(shown[6], u"个人认证");
    EXPECT_EQ(shown[7], u"卖家");
    EXPECT_EQ(values(facts)[6], u"personal");
    EXPECT_EQ(values(facts)[16], u"安全");
}

TEST_F(CheckHistoryTest, APageSelectsByPartOfTheNameAndBringsEachChecksPreviousOne) {
    LocalStore store(m_file, recorded());
    // Buyer credit numbers the checks in the order stored.
    const std::pair<const char16_t*, std::int64_t> checks[] = {
        {u"老实买家", 100}, {u"TB_buyer", 200}, {u"tb%buyer", 300}, {u"老实买家", 400}, {u"tbxbuyer", 500}};
    double credit = 0;
    for (const auto& [account, time] : checks) {
        ASSERT_TRUE(StoreCheck(store, test::SampleFacts(account, ++credit), time));
    }
    const struct {
        std::u16string part;
        std::size_t offset, count;
        std::vector<double> credits;  // of the page, newest first
        std::vector<double> previous; // each one's previous check (0: none)
        std::size_t selected;
    } cases[] = {
        {u"", 0, 10, {5, 4, 3, 2, 1}, {0, 1, 0, 0, 0}, 5},
        {u"", 1, 2, {4, 3}, {1, 0}, 5},
        {u"实买", 0, 10, {4, 1}, {1, 0}, 2},
        // ASCII letters in either case; % and _ are plain characters.
        {u"tb_", 0, 10, {2}, {0}, 1},
        {u"B%B", 0, 10, {3}, {0}, 1},
        {u"buyer", 1, 10, {3, 2}, {0, 0}, 3},
        {u"无此人", 0, 10, {}, {}, 0},
    };
    for (const auto& c : cases) {
        const auto counted = CountStoredChecks(store, {c.part, true});
        ASSERT_TRUE(counted);
        EXPECT_EQ(counted->count, c.selected);
        std::vector<double> credits;
        std::vector<double> previous;
        ASSERT_TRUE(ReadCheckRows(store, {c.part, true, c.offset, c.count, counted->lastId}, [&](CheckRow&& row) {
            credits.push_back(row.facts->buyerCredit);
            previous.push_back(row.previous ? row.previous->facts.buyerCredit : 0);
        }));
        EXPECT_EQ(credits, c.credits) << ToUtf8(c.part);
        EXPECT_EQ(previous, c.previous) << ToUtf8(c.part);
    }

    // A check stored after the count does not shift the pages counted.
    const auto counted = CountStoredChecks(store, {});
    ASSERT_TRUE(StoreCheck(store, test::SampleFacts(u"新买家", 6), 600));
    const auto page = StoredChecks(store, {u"", false, 0, 1, counted->lastId});
    ASSERT_TRUE(page && page->size() == 1);
    EXPECT_EQ(page->front().facts.buyerCredit, 5);
    EXPECT_TRUE(m_problems.empty());
}

TEST_F(CheckHistoryTest, RecordingACheckBringsThePreviousOneWhatChangedAndTheListEntry) {
    LocalStore store(m_file, recorded());
    const CheckContext first = RecordCheck(store, test::SampleFacts(u"买家", 12, 3), 1000);
    EXPECT_TRUE(first.saved);
    EXPECT_FALSE(first.previous);
    EXPECT_TRUE(first.changed.empty());
    EXPECT_FALSE(first.listed);

    ASSERT_TRUE(PutListEntries(store, {{u"买家", BuyerList::Block, u"差评师", 0}}));
    const CheckContext second = RecordCheck(store, test::SampleFacts(u"买家", 40, 7, Verdict::Unsafe), 2000);
    EXPECT_TRUE(second.saved);
    ASSERT_TRUE(second.previous);
    EXPECT_EQ(second.previous->checkedAt, 1000);
    EXPECT_EQ(second.changed, (std::vector<std::string>{"buyer_credit", "week.good", "verdict"}));
    ASSERT_TRUE(second.listed);
    EXPECT_EQ(second.listed->note, u"差评师");
    EXPECT_EQ(RecordCheck(store, test::SampleFacts(u"买家", 40, 7, Verdict::Unsafe), 3000).previous->checkedAt, 2000);
}

} // namespace
} // namespace tarvisk
