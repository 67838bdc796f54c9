#include "cli/guard.h"

#include <csignal>
#include <functional>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "cli/interrupt.h"

namespace tarvisk::cli {
namespace {

TEST(RunGuarded, TurnsEveryExceptionIntoOneLineAndStatusOne) {
    const struct {
        std::function<int()> body;
        int status;
        std::string message;
    } cases[] = {
        {[] { return 4; }, 4, ""},
        {[]() -> int { throw std::runtime_error("the page store is broken"); }, 1,
         "tarvisk-cli：意外的错误：the page store is broken\n"},
        {[]() -> int { throw std::bad_alloc(); }, 1, "tarvisk-cli：意外的错误：内存不足\n"},
        {[]() -> int { throw 42; }, 1, "tarvisk-cli：意外的错误：未知的错误\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream errors;
        EXPECT_EQ(RunGuarded(c.body, errors, "tarvisk-cli"), c.status);
        EXPECT_EQ(errors.str(), c.message);
    }
}

TEST(InterruptScope, AnInnerScopeKeepsTheSignalTheOuterOneCaught) {
    {
        const InterruptScope outer;
        ASSERT_EQ(std::raise(SIGTERM), 0);
        const InterruptScope inner;
        EXPECT_TRUE(inner.interrupted());
    }
    struct sigaction restored = {};
    sigaction(SIGTERM, nullptr, &restored);
    EXPECT_EQ(restored.sa_handler, SIG_DFL);
}

} // namespace
} // namespace tarvisk::cli
