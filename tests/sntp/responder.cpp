#include "responder.h"

#include <algorithm>
#include <cstring>

#include "reply_builder.h"

namespace sntp::test {

namespace {

struct TWinsockSession {
  TWinsockSession() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TWinsockSession() { WSACleanup(); }
} winsockSession;

}  // namespace

TPacket ServerReply(uint32_t Seconds) { return ReplyBuilder::Good(Seconds).raw; }

SOCKET BoundUdpSocket(const char* Address, uint16_t Port) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(Port);
  local.sin_addr.s_addr = inet_addr(Address);
  if (s != INVALID_SOCKET && bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    closesocket(s);
    s = INVALID_SOCKET;
  }
  return s;
}

uint16_t BoundPort(SOCKET Socket) {
  sockaddr_in local{};
  int length = sizeof local;
  getsockname(Socket, reinterpret_cast<sockaddr*>(&local), &length);
  return ntohs(local.sin_port);
}

bool CanBindUdpPort(uint16_t Port) {
  SOCKET s = BoundUdpSocket("0.0.0.0", Port);
  if (s != INVALID_SOCKET) closesocket(s);
  return s != INVALID_SOCKET;
}

std::string FirstHostAddress() {
  char name[256] = {};
  const hostent* entry = gethostname(name, sizeof name) == 0 ? gethostbyname(name) : nullptr;
  if (!entry || !entry->h_addr_list[0]) return "127.0.0.1";
  in_addr first;
  std::memcpy(&first, entry->h_addr_list[0], sizeof first);
  return inet_ntoa(first);
}

TResponder::TResponder(TAnswer Answer, const TPacket& Reply, const std::string& ReplyTo, std::vector<TPacket> Early)
    : answer_(Answer),
      reply_(Reply),
      replyTo_(ReplyTo),
      early_(std::move(Early)),
      socket_(BoundUdpSocket("0.0.0.0", 0)) {
  port_ = BoundPort(socket_);
  thread_ = std::thread([this] { Serve(); });
}

TResponder::~TResponder() {
  stop_ = true;
  thread_.join();
  closesocket(socket_);
}

std::vector<uint8_t> TResponder::LastRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastRequest_;
}

void TResponder::Serve() {
  while (!stop_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{0, 20000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
    uint8_t buffer[512];
    sockaddr_in client{};
    int clientLength = sizeof client;
    const int length = recvfrom(socket_, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                                reinterpret_cast<sockaddr*>(&client), &clientLength);
    if (length < 0) continue;
    std::vector<uint8_t> request(buffer, buffer + length);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      lastRequest_ = request;
    }
    Answer(request, client);
    ++requests_;
  }
}

void TResponder::Answer(const std::vector<uint8_t>& Request, sockaddr_in Client) {
  if (!replyTo_.empty()) Client.sin_addr.s_addr = inet_addr(replyTo_.c_str());
  const auto send = [&](const std::vector<uint8_t>& Datagram) {
    sendto(socket_, reinterpret_cast<const char*>(Datagram.data()), static_cast<int>(Datagram.size()), 0,
           reinterpret_cast<const sockaddr*>(&Client), sizeof Client);
  };
  for (const TPacket& early : early_) send(std::vector<uint8_t>(early.begin(), early.end()));
  std::vector<uint8_t> datagram(reply_.begin(), reply_.end());
  if (Request.size() == kPacketSize)
    std::copy_n(Request.begin() + pTransmitTimestamp, 8, datagram.begin() + pOriginateTimestamp);
  switch (answer_) {
    case TAnswer::Silent: return;
    case TAnswer::Reply: break;
    case TAnswer::Short47: datagram.resize(47); break;
    case TAnswer::Long68: datagram.resize(68, 0); break;
  }
  send(datagram);
}

bool PumpUntil(const std::function<bool()>& Done, DWORD LimitMs) {
  const DWORD start = GetTickCount();
  while (!Done() && GetTickCount() - start <= LimitMs) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (!Done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return Done();
}

}  // namespace sntp::test
