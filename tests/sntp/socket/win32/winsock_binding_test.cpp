// The binding: Winsock is loaded and started by the first call and released
// with its last user. Whether it is started is read from Winsock itself:
// this program calls no WSAStartup of its own, so a socket made directly
// fails with WSANOTINITIALISED unless the binding holds Winsock started.
// And the resolvers over Winsock's own name services.
#include <thread>

#include "sntp/socket/win32/resolve.h"
#include "sntp/socket/win32/winsock_api.h"
#include "tests/sntp/socket/win32/socket_test_support.h"
#include "tests/sntp/win32/host_network.h"

namespace sntp {
namespace {

using namespace sntp::test;

TEST(WinsockBinding, StartedByTheFirstCallAndStoppedWithTheLastSocket) {
  ReleaseWinsockIfUnused();  // earlier tests may have started it without a socket
  ASSERT_FALSE(WinsockStarted());
  {
    TWSocket first;
    EXPECT_FALSE(WinsockStarted()) << "making a socket touches no Winsock";
    {
      TWSocket second;
      ListenUdp(second);
      ListenUdp(first);
      EXPECT_TRUE(WinsockStarted());
      ReleaseWinsockIfUnused();
      EXPECT_TRUE(WinsockStarted()) << "the sockets use it";
    }
    EXPECT_TRUE(WinsockStarted()) << "one socket is still alive";
  }
  EXPECT_FALSE(WinsockStarted()) << "one WSACleanup for each WSAStartup";
  {
    TWSocket again;
    ListenUdp(again);
    EXPECT_EQ(again.State(), wsConnected) << "the first call after the unload starts it again";
  }
  EXPECT_FALSE(WinsockStarted());
  ReleaseWinsockIfUnused();  // nothing to release twice
  EXPECT_FALSE(WinsockStarted());
}

// The clock may ask isConnected on one thread while another one queries:
// each is a user of Winsock, and the one that ends first leaves it started
// for the other.
TEST(WinsockBinding, UsersOnTwoThreadsLeaveItToTheLast) {
  ReleaseWinsockIfUnused();
  auto socket = std::make_unique<TWSocket>();
  ListenUdp(*socket);
  std::vector<std::string> addresses;
  std::thread([&] {
    const TWinsockUser user;
    addresses = GetLocalAddresses();
  }).join();
  ASSERT_FALSE(addresses.empty()) << kOwnNameMustResolve;
  for (const std::string& address : addresses) EXPECT_NE(inet_addr(address.c_str()), INADDR_NONE) << address;
  EXPECT_TRUE(WinsockStarted()) << "the socket still uses it";
  EXPECT_EQ(GetLocalAddresses(), addresses);
  socket.reset();
  EXPECT_FALSE(WinsockStarted()) << "the last user stopped it";
}

// What only Winsock's services decide, for the texts the client resolves
// (a dotted server address, the "udp" of its sockets): the rules are tested
// natively.
TEST(ResolveWinsock, DottedAddressesAndTheUdpProtocol) {
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(WSocketResolveHost(" 127.0.0.1 "), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(ErrorText([] { WSocketResolveHost("1.2.3.x"); }), "WSocketResolveHost: '1.2.3.x' Invalid IP address.");
  EXPECT_EQ(WSocketResolveProto("udp"), 17);
  ReleaseWinsockIfUnused();
}

}  // namespace
}  // namespace sntp
