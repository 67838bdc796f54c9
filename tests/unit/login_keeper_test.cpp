#include "app/main/login_keeper.h"

#include <vector>

#include <gtest/gtest.h>

#include "core/cancel.h"

namespace tarvisk {
namespace {

struct Request {
    std::u16string url;
    std::u16string body;
};

TEST(LoginKeeper, RequestsTheMemberHomePageOnlyWhileTheLoginIsKept) {
    std::vector<Request> requests;
    LoginKeeper keeper([&](const std::u16string& url, const std::u16string& body) {
        requests.push_back({url, body});
        return std::u16string(u"<html>whatever</html>");
    });
    const std::pair<bool, bool> ticks[] = {{false, false}, {true, true}, {false, false}, {true, true}};
    for (const auto& [keep, requested] : ticks) {
        EXPECT_EQ(keeper.tick(keep), requested);
    }
    ASSERT_EQ(requests.size(), 2u);
    for (const Request& request : requests) {
        EXPECT_EQ(request.url, u"http://i.taobao.com/my_taobao.htm");
        ASSERT_GE(request.body.size(), 4u);
        EXPECT_EQ(request.body.substr(0, 4), u"_=0.");
        EXPECT_EQ(request.body.find(u'&'), std::u16string::npos);
    }
    EXPECT_FALSE(keeper.waiting());
}

TEST(LoginKeeper, SkipsATickWhileThePreviousRequestStillWaits) {
    int requests = 0;
    std::vector<bool> innerTicks;
    LoginKeeper* self = nullptr;
    LoginKeeper keeper([&](const std::u16string&, const std::u16string&) {
        ++requests;
        // Window events run while the request waits: the next timer tick arrives here.
        EXPECT_TRUE(self->waiting());
        innerTicks.push_back(self->tick(true));
        return std::u16string();
    });
    self = &keeper;
    EXPECT_TRUE(keeper.tick(true));
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(innerTicks, std::vector<bool>{false});
    EXPECT_FALSE(keeper.waiting());
    EXPECT_TRUE(keeper.tick(true));
    EXPECT_EQ(requests, 2);
}

TEST(LoginKeeper, CancelEndsTheWaitingRequestAndStopsLaterTicks) {
    std::vector<bool> cancelSeen;
    LoginKeeper* self = nullptr;
    LoginKeeper keeper([&](const std::u16string&, const std::u16string&) {
        cancelSeen.push_back(CancelRequested());
        self->cancel();
        cancelSeen.push_back(CancelRequested());
        return std::u16string();
    });
    self = &keeper;
    EXPECT_TRUE(keeper.tick(true));
    EXPECT_EQ(cancelSeen, (std::vector<bool>{false, true}));
    EXPECT_FALSE(CancelRequested());
    EXPECT_FALSE(keeper.tick(true));
    EXPECT_EQ(cancelSeen.size(), 2u);
}

TEST(LoginKeeper, AFailingRequestLeavesTheKeeperReady) {
    int calls = 0;
    LoginKeeper keeper([&](const std::u16string&, const std::u16string&) -> std::u16string {
        if (++calls == 1) {
            throw std::runtime_error("network gone");
        }
        return {};
    });
    EXPECT_THROW(keeper.tick(true), std::runtime_error);
    EXPECT_FALSE(keeper.waiting());
    EXPECT_TRUE(keeper.tick(true));
}

} // namespace
} // namespace tarvisk
