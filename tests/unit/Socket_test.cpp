#include "platform/HttpErrors.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <thread>

namespace qx {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(Deadline, NeverExpiresWithoutATimeOut) {
    for (const int milliseconds : {0, -1}) {
        const Deadline deadline = Deadline::After(milliseconds);
        EXPECT_TRUE(deadline.Unlimited());
        EXPECT_FALSE(deadline.Expired());
        EXPECT_EQ(deadline.RemainingMs(10), 10);
    }
}

TEST(Deadline, CountsDownToItsEnd) {
    const Deadline deadline = Deadline::After(40);
    EXPECT_FALSE(deadline.Expired());
    EXPECT_EQ(deadline.RemainingMs(10), 10);
    EXPECT_GT(deadline.RemainingMs(1000), 0);
    EXPECT_LE(deadline.RemainingMs(1000), 40);
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(deadline.Expired());
    EXPECT_EQ(deadline.RemainingMs(10), 0);
}

TEST(LookupHost, FindsTheLoopbackAddress) {
    EXPECT_FALSE(LookupHost("127.0.0.1", 80).empty());
    EXPECT_FALSE(LookupHost("localhost", 80).empty());
}

TEST(ResolveHost, AbandonsALookupThatTakesTooLong) {
    const auto slowLookup = [](const std::string&, std::uint16_t) {
        std::this_thread::sleep_for(300ms);
        return std::vector<Endpoint>{};
    };
    int idleCalls = 0;
    const auto start = Clock::now();
    EXPECT_THROW(ResolveHost(
                     "slow.example", 80, Deadline::After(50), [&] { ++idleCalls; }, slowLookup),
                 TimeoutError);
    EXPECT_LT(Clock::now() - start, 250ms);
    EXPECT_GT(idleCalls, 0);
}

TEST(ResolveHost, PassesOnTheLookupsFailure) {
    const auto failingLookup = [](const std::string& host, std::uint16_t) -> std::vector<Endpoint> {
        throw NetworkError("The host name cannot be resolved: " + host);
    };
    EXPECT_THROW(ResolveHost("nowhere.invalid", 80, Deadline::After(1000), {}, failingLookup), NetworkError);
}

} // namespace
} // namespace qx
