// The query driver's platform-free rules: the deadline and the
// network-address test behind isConnected.
#include <gtest/gtest.h>

#include "sntp/library/query_rules.h"

namespace sntp {
namespace {

TEST(Deadline, PassesOnlyStrictlyAfterItsTick) {
  struct TCase { const char* What; uint32_t Now, Deadline; bool Passed; uint32_t Sleep; };
  const TCase cases[] = {
      {"at the start", 0, 4000, false, 4001},
      {"one before", 3999, 4000, false, 2},
      {"equal is not past", 4000, 4000, false, 1},
      {"one after", 4001, 4000, true, 0},
      {"long after", 90000, 4000, true, 0},
      {"deadline beyond 2^31", 0x7FFFFF00u, 0x7FFFFF00u + 4000, false, 4001},
      {"tick beyond 2^31, deadline not", 0x80000000u, 0x7FFFFF00u + 4000, false, 3745},
      {"deadline wrapped past 2^32", 0xFFFFFF00u, 0xFFFFFF00u + 4000, false, 4001},
      {"tick wrapped too, not yet", 0x00000E9Fu, 0xFFFFFF00u + 4000, false, 2},
      {"tick wrapped and past", 0x00000EA1u, 0xFFFFFF00u + 4000, true, 0},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(DeadlinePassed(c.Now, c.Deadline), c.Passed) << c.What;
    EXPECT_EQ(MillisecondsUntilPast(c.Now, c.Deadline), c.Sleep) << c.What;
  }
}

TEST(Connected, LastHostAddressDecides) {
  using List = std::vector<std::string>;
  struct TCase { List Addresses; bool Connected; };
  const TCase cases[] = {
      {List{"10.1.2.3", "127.0.0.1"}, false},
      {List{"127.0.0.1", "10.1.2.3"}, true},
      {List{"10.1.2.3", "0.0.0.0"}, false},
      {List{"127.0.0.1"}, false},
      {List{"192.168.1.20"}, true},
      {List{}, true},  // no host entry
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(HasNetworkAddress(c.Addresses), c.Connected)
        << (c.Addresses.empty() ? "(none)" : c.Addresses.back());
  }
}

}  // namespace
}  // namespace sntp
