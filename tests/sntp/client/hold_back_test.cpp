// The servers held back after a kiss-o'-death, in virtual time: how long
// RATE holds a server back, how the wait grows, and what the log is told.
// DENY, RSTR and a good reply are tested through the client (client_test).
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "sntp/client/server_hold_back.h"

namespace sntp {
namespace {

using std::chrono::seconds;
using Clock = std::chrono::steady_clock;

struct THoldBackUnderTest {
  Clock::time_point Now{};
  TServerHoldBack HoldBack{[this] { return Now; }};
  // The refusal, or "asked" when the server may be asked.
  std::string At(seconds since, const std::string& address = "10.0.0.1") {
    Now = Clock::time_point{} + since;
    return HoldBack.Refusal(address).value_or("asked");
  }
};

// Each RATE comes once the wait before it has run out; the wait doubles up
// to an hour and stays there.
TEST(HoldBack, EachFurtherRateDoublesTheWaitUpToAnHour) {
  THoldBackUnderTest t;
  std::vector<std::string> told;
  seconds at{0};
  for (int kiss = 0; kiss < 8; ++kiss) {
    EXPECT_EQ(t.At(at), "asked");
    told.push_back(t.HoldBack.TakeKiss("10.0.0.1", kcRate));
    EXPECT_NE(t.At(at + seconds(1)), "asked");
    at += seconds(64 << kiss < 3600 ? 64 << kiss : 3600);
    EXPECT_NE(t.At(at - seconds(1)), "asked");
  }
  const std::string prefix = "10.0.0.1 sent kiss-o'-death RATE: it is not asked again for ";
  EXPECT_EQ(told, (std::vector<std::string>{prefix + "64 s", prefix + "128 s", prefix + "256 s", prefix + "512 s",
                                            prefix + "1024 s", prefix + "2048 s", prefix + "3600 s",
                                            prefix + "3600 s"}));
}

TEST(HoldBack, TellsWhatIsLeftOfARateWaitInWholeSecondsRoundedUp) {
  struct TCase { Clock::duration Since; std::string Refusal; };
  const std::string rate = ": it sent kiss-o'-death RATE";
  const TCase cases[] = {
      {seconds(0), "Not asking 10.0.0.1 for another 64 s" + rate},
      {std::chrono::milliseconds(62001), "Not asking 10.0.0.1 for another 2 s" + rate},
      {std::chrono::milliseconds(63999), "Not asking 10.0.0.1 for another 1 s" + rate},
      {seconds(64), "asked"},
  };
  for (const TCase& c : cases) {
    THoldBackUnderTest t;
    t.HoldBack.TakeKiss("10.0.0.1", kcRate);
    t.Now += c.Since;
    EXPECT_EQ(t.HoldBack.Refusal("10.0.0.1").value_or("asked"), c.Refusal);
  }
}

}  // namespace
}  // namespace sntp
