// Winsock is loaded with the first call and released with the last socket.
#include "socket_test_support.h"
#include "sntp/socket/resolve.h"
#include "sntp/socket/winsock_api.h"

namespace sntp {
namespace {

using namespace sntp::testing;

TEST(WinsockBinding, LoadedByTheFirstCallAndReleasedWithTheLastSocket) {
  UnloadWinsock();  // earlier tests may have loaded it without a socket
  const TWinsockBindingCounts start = WinsockBindingCounts();
  const auto startups = [&] { return WinsockBindingCounts().Startups - start.Startups; };
  const auto cleanups = [&] { return WinsockBindingCounts().Cleanups - start.Cleanups; };
  {
    TWSocket first;
    EXPECT_FALSE(WinsockLoaded()) << "making a socket touches no Winsock";
    {
      TWSocket second;
      ListenUdp(second);
      ListenUdp(first);
      EXPECT_TRUE(WinsockLoaded());
      EXPECT_EQ(startups(), 1);
    }
    EXPECT_EQ(cleanups(), 0) << "one socket is still alive";
  }
  EXPECT_FALSE(WinsockLoaded());
  EXPECT_EQ(cleanups(), 1);
  {
    TWSocket again;
    ListenUdp(again);
    EXPECT_EQ(again.State(), wsConnected);
    EXPECT_EQ(startups(), 2);
  }
  EXPECT_EQ(cleanups(), 2);
  UnloadWinsock();
  EXPECT_EQ(cleanups(), 2) << "nothing to release twice";
}

TEST(WinsockBinding, ProcedureLookups) {
  EXPECT_EQ(BindWinsockProc(""), nullptr);
  EXPECT_TRUE(WinsockLoaded()) << "even an empty name loads the library";
  EXPECT_NE(BindWinsockProc("recvfrom"), nullptr);
  std::string message;
  try {
    BindWinsockProc("NoSuchProcedure");
  } catch (const ESocketException& E) {
    message = E.what();
  }
  EXPECT_EQ(message, "Procedure NoSuchProcedure not found in wsock32.dll Error #127");
}

TEST(WinsockBinding, ShutdownReleasesAndTheListComesBack) {
  SocketComponentStartup();
  const std::vector<std::string> before = GetLocalAddresses();
  ASSERT_FALSE(before.empty()) << kOwnNameMustResolve;
  SocketComponentShutdown();
  EXPECT_FALSE(WinsockLoaded());
  EXPECT_EQ(GetLocalAddresses(), before) << "a late caller still gets the list";
  SocketComponentShutdown();
}

}  // namespace
}  // namespace sntp
