// The resolvers over Winsock's own name services, under Wine.
#include "socket_test_support.h"
#include "sntp/socket/resolve.h"
#include "sntp/socket/winsock_api.h"

namespace sntp {
namespace {

uint32_t Loopback() { return htonl(INADDR_LOOPBACK); }

TEST(ResolveWinsock, HostsPortsAndProtocols) {
  EXPECT_EQ(WSocketResolveHost("localhost"), Loopback());
  EXPECT_EQ(WSocketResolveHost(" \t127.0.0.1 "), Loopback());
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(WSocketResolvePort("ntp", "udp"), 123);
  EXPECT_EQ(WSocketResolvePort("123abc", "udp"), 123);
  EXPECT_EQ(WSocketResolveProto(" tcp "), 6);
  EXPECT_EQ(WSocketResolveProto("udp"), 17);
  EXPECT_EQ(WSocketResolveProto("17"), 17);
}

TEST(ResolveWinsock, FailureMessages) {
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] { WSocketResolveHost("1.2.3.x"); }, "WSocketResolveHost: '1.2.3.x' Invalid IP address."},
      {[] { WSocketResolvePort("nosuchservice", "udp"); },
       "WSocketResolvePort: Cannot convert port 'nosuchservice'"},
      {[] { WSocketResolveProto("nosuchproto"); }, "WSocketResolveProto: Cannot convert protocol 'nosuchproto'"},
  };
  for (const auto& [call, text] : cases) EXPECT_EQ(test::ErrorText(call), text);
}

TEST(ResolveWinsock, LocalNameAndAddresses) {
  const std::string name = GetLocalHostName();
  EXPECT_FALSE(name.empty());
  const std::vector<std::string>& first = GetLocalAddresses();
  ASSERT_FALSE(first.empty()) << test::kOwnNameMustResolve << " (" << name << ")";
  for (const std::string& address : first) EXPECT_NE(inet_addr(address.c_str()), INADDR_NONE) << address;
  const size_t count = first.size();
  const std::vector<std::string>& second = GetLocalAddresses();
  EXPECT_EQ(&first, &second) << "one shared list";
  EXPECT_EQ(second.size(), count) << "replaced, not appended";
}

}  // namespace
}  // namespace sntp
