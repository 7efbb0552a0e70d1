#include "sntp/platform/win32/system_platform.h"

#include <winsock2.h>
#include <windows.h>
#include <ntsecapi.h>

#include "sntp/socket/win32/resolve.h"
#include "sntp/socket/win32/wsocket.h"
#include "sntp/platform/win32/exchange_timer.h"

namespace sntp {

namespace {

constexpr const char* kAllInterfaces = "0.0.0.0";

// A UDP TWSocket as the client's port: its events turned into the port's,
// with the socket's LastError as the error code of a report.
class TSocketPort final : public TDatagramPort {
 public:
  TSocketPort() {
    socket_.OnDataAvailable = [this](TComponent*, uint16_t error) {
      if (OnDatagram) OnDatagram(error);
    };
    socket_.OnError = [this](TComponent*) {
      if (OnError) OnError(static_cast<uint16_t>(socket_.LastError() & 0xFFFF), socket_.LastErrorText());
    };
    socket_.OnDnsLookupDone = [this](TComponent*, uint16_t error) {
      if (OnNameFound) OnNameFound(error, error == 0 ? socket_.DnsResultList() : std::vector<std::string>{});
    };
    // A datagram socket is closed this way only when a send found the
    // destination gone (10054 on Windows): the exchange learns it as a
    // failure of the port.
    socket_.OnSessionClosed = [this](TComponent*, uint16_t error) {
      if (error != 0 && OnError) OnError(error, "Error " + std::to_string(error) + ": the destination is gone");
    };
  }

  void Listen(const std::string& port) override { Open(kAllInterfaces, port, &TWSocket::Listen); }
  void Connect(const std::string& address, const std::string& port) override {
    Open(address, port, &TWSocket::Connect);
  }

  void Send(std::span<const uint8_t> datagram) override {
    socket_.Send(datagram.data(), static_cast<int>(datagram.size()));
  }

  int Receive(std::span<uint8_t> buffer, uint32_t& source, uint16_t& error) override {
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int length = socket_.ReceiveFrom(buffer.data(), static_cast<int>(buffer.size()), from, fromLength);
    source = from.sin_addr.s_addr;
    error = length < 0 ? static_cast<uint16_t>(socket_.LastError() & 0xFFFF) : 0;
    return length;
  }

  void Close() override { socket_.Close(); }
  bool IsOpen() const override { return socket_.State() == wsConnected; }
  void LookupName(const std::string& name) override { socket_.DnsLookup(name); }
  bool LookupPending() const override { return socket_.LookupPending(); }
  void CancelLookup() override { socket_.CancelDnsLookup(); }

 private:
  // A socket is reused across exchanges: each close restores its defaults,
  // so the endpoint is set anew every time.
  void Open(const std::string& address, const std::string& port, void (TWSocket::*operation)()) {
    socket_.Close();
    socket_.SetAddr(address);
    socket_.SetPort(port);
    socket_.SetProto("udp");
    (socket_.*operation)();
  }

  TWSocket socket_;
};

// UTC now, in 100 ns units: the precise clock is Windows 8's, looked up
// here so that the library still loads on Vista; the plain one moves in the
// system's 10-16 ms steps.
FILETIME SystemTimeNow() {
  using TGetTime = void(WINAPI*)(LPFILETIME);
  static const auto precise = reinterpret_cast<TGetTime>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME now{};
  (precise ? precise : GetSystemTimeAsFileTime)(&now);
  return now;
}

}  // namespace

std::unique_ptr<TDatagramPort> TSystemPlatform::CreatePort() { return std::make_unique<TSocketPort>(); }

std::unique_ptr<TExchangeTimer> TSystemPlatform::CreateTimer(std::function<void()> onTimeout) {
  return std::make_unique<TMessageExchangeTimer>(timerClock_, std::move(onTimeout));
}

std::vector<std::string> TSystemPlatform::LocalAddresses() { return GetLocalAddresses(); }

uint32_t TSystemPlatform::ResolveAddress(const std::string& text) { return WSocketResolveHost(text); }

int64_t TSystemPlatform::CounterMicroseconds() {
  static const int64_t frequency = [] {
    LARGE_INTEGER perSecond{};
    QueryPerformanceFrequency(&perSecond);
    return perSecond.QuadPart > 0 ? perSecond.QuadPart : 1;
  }();
  LARGE_INTEGER count{};
  QueryPerformanceCounter(&count);
  // In two parts, so that a counter of many days at a high frequency does
  // not overflow.
  return count.QuadPart / frequency * 1000000 + count.QuadPart % frequency * 1000000 / frequency;
}

TLocalDateTime LocalTimeNow() {
  const FILETIME utc = SystemTimeNow();
  SYSTEMTIME utcParts{}, local{};
  // The zone's rules for this instant, daylight saving included; the
  // conversion keeps milliseconds, and the rest is taken from the file time.
  if (!FileTimeToSystemTime(&utc, &utcParts) || !SystemTimeToTzSpecificLocalTime(nullptr, &utcParts, &local)) {
    GetLocalTime(&local);
    return TLocalDateTime{local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                          local.wMilliseconds};
  }
  const uint64_t units = (uint64_t{utc.dwHighDateTime} << 32) | utc.dwLowDateTime;
  const int microseconds = static_cast<int>(units % 10000 / 10);
  return TLocalDateTime{local.wYear,   local.wMonth,  local.wDay,          local.wHour,
                        local.wMinute, local.wSecond, local.wMilliseconds, microseconds};
}

TLocalDateTime TSystemPlatform::LocalNow() { return LocalTimeNow(); }

uint64_t TSystemPlatform::RandomStamp() {
  uint64_t stamp = 0;
  if (RtlGenRandom(&stamp, sizeof stamp)) return stamp;
  // No random numbers to be had: the performance counter differs from one
  // request to the next, which is all the matching needs.
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return static_cast<uint64_t>(counter.QuadPart) * 0x9E3779B97F4A7C15ull;
}

}  // namespace sntp
