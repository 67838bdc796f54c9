#include "jobs/reputation/login_keeper.h"

#include <vector>

#include <gtest/gtest.h>

#include "core/cancel.h"

namespace tarvisk {
namespace {

TEST(LoginKeeper, RequestsTheMemberHomePageOnlyWhileTheLoginIsKept) {
    std::vector<std::u16string> bodies;
    LoginKeeper keeper([&](const std::u16string& url, const std::u16string& body) {
        EXPECT_EQ(url, u"http://i.taobao.com/my_taobao.htm");
        bodies.push_back(body);
        return std::u16string(u"<html>whatever</html>");
    });
    for (const auto& [keep, requested] : {std::pair{false, false}, {true, true}, {false, false}, {true, true}}) {
        EXPECT_EQ(keeper.tick(keep), requested);
    }
    ASSERT_EQ(bodies.size(), 2u);
    for (const std::u16string& body : bodies) {
        EXPECT_EQ(body.substr(0, 4), u"_=0.");
        EXPECT_EQ(body.find(u'&'), std::u16string::npos); // the request routine appends its own field
    }
}

TEST(LoginKeeper, SkipsTicksWhileARequestWaitsAndStopsWhenCancelled) {
    LoginKeeper* self = nullptr;
    std::vector<bool> seen; // inner tick made a request, cancel seen before and after cancel()
    int calls = 0;
    LoginKeeper keeper([&](const std::u16string&, const std::u16string&) -> std::u16string {
        if (++calls == 1) {
            throw std::runtime_error("network gone");
        }
        // Window events run while the request waits: the next timer tick arrives here.
        seen.push_back(self->tick(true));
        seen.push_back(CancelRequested());
        self->cancel();
        seen.push_back(CancelRequested());
        return {};
    });
    self = &keeper;
    EXPECT_THROW(keeper.tick(true), std::runtime_error);
    EXPECT_FALSE(keeper.waiting());
    EXPECT_TRUE(keeper.tick(true));
    EXPECT_EQ(seen, (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(CancelRequested());
    EXPECT_FALSE(keeper.tick(true));
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace tarvisk
