// The binding: Winsock is loaded and started by the first call and released
// with the last socket. Whether it is started is read from Winsock itself:
// this program calls no WSAStartup of its own, so a socket made directly
// fails with WSANOTINITIALISED unless the binding holds Winsock started.
// And the resolvers over Winsock's own name services.
#include "socket_test_support.h"
#include "sntp/socket/resolve.h"
#include "sntp/socket/winsock_api.h"

namespace sntp {
namespace {

using namespace sntp::test;

bool WinsockStarted() {
  const SOCKET probe = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (probe == INVALID_SOCKET) return ::WSAGetLastError() != WSANOTINITIALISED;
  ::closesocket(probe);
  return true;
}

TEST(WinsockBinding, StartedByTheFirstCallAndStoppedWithTheLastSocket) {
  UnloadWinsock();  // earlier tests may have started it without a socket
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
  UnloadWinsock();  // nothing to release twice
  EXPECT_FALSE(WinsockStarted());
}

TEST(WinsockBinding, ProcedureLookups) {
  UnloadWinsock();
  EXPECT_EQ(BindWinsockProc(""), nullptr);
  EXPECT_TRUE(WinsockStarted()) << "even an empty name loads and starts Winsock";
  EXPECT_NE(BindWinsockProc("recvfrom"), nullptr);
  EXPECT_EQ(ErrorText([] { BindWinsockProc("NoSuchProcedure"); }),
            "Procedure NoSuchProcedure not found in wsock32.dll Error #127");
  UnloadWinsock();
}

// Each call reads the list anew into the one shared list; a caller after the
// shutdown still gets it. The shut-down runs while the library is unloaded,
// where Winsock must not be stopped: it is left to the release after the
// call that started it.
TEST(WinsockBinding, LocalAddressesOutliveTheShutdown) {
  SocketComponentStartup();
  EXPECT_FALSE(GetLocalHostName().empty());
  const std::vector<std::string>& list = GetLocalAddresses();
  ASSERT_FALSE(list.empty()) << kOwnNameMustResolve;
  for (const std::string& address : list) EXPECT_NE(inet_addr(address.c_str()), INADDR_NONE) << address;
  const std::vector<std::string> before = list;
  EXPECT_EQ(&GetLocalAddresses(), &list) << "one shared list";
  EXPECT_EQ(list, before) << "replaced, not appended";
  SocketComponentShutdown();
  EXPECT_TRUE(WinsockStarted());
  ReleaseWinsockIfUnused();
  EXPECT_FALSE(WinsockStarted());
  EXPECT_EQ(GetLocalAddresses(), before);
  SocketComponentShutdown();
  UnloadWinsock();
}

// What only Winsock's services decide: their rules are tested natively.
TEST(ResolveWinsock, HostsPortsAndProtocols) {
  EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
  EXPECT_EQ(WSocketResolvePort("ntp", "udp"), 123);
  EXPECT_EQ(WSocketResolveProto(" tcp "), 6);
  EXPECT_EQ(ErrorText([] { WSocketResolveHost("1.2.3.x"); }), "WSocketResolveHost: '1.2.3.x' Invalid IP address.");
  EXPECT_EQ(ErrorText([] { WSocketResolvePort("nosuchservice", "udp"); }),
            "WSocketResolvePort: Cannot convert port 'nosuchservice'");
}

}  // namespace
}  // namespace sntp
