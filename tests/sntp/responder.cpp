#include "responder.h"

#include <algorithm>
#include <cstring>

namespace sntp::test {

namespace {

struct TWinsockSession {
  TWinsockSession() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  }
  ~TWinsockSession() { WSACleanup(); }
};
const TWinsockSession winsockSession;

void PutBigEndian32(TPacket& Raw, std::size_t Offset, uint32_t Value) {
  for (int i = 0; i < 4; ++i) Raw[Offset + i] = static_cast<uint8_t>(Value >> (24 - 8 * i));
}

}  // namespace

TPacket ServerReply(uint32_t Seconds) {
  TPacket reply{};
  reply[pFlags] = 0x1C;
  reply[pStratum] = 2;
  PutBigEndian32(reply, pReceiveTimestamp, Seconds);
  PutBigEndian32(reply, pTransmitTimestamp, Seconds);
  return reply;
}

SOCKET BoundUdpSocket(const char* Address, uint16_t Port) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) return s;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(Port);
  local.sin_addr.s_addr = inet_addr(Address);
  if (bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
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
  if (s == INVALID_SOCKET) return false;
  closesocket(s);
  return true;
}

std::string FirstHostAddress() {
  char name[256] = {};
  if (gethostname(name, sizeof name) != 0) return "127.0.0.1";
  const hostent* entry = gethostbyname(name);
  if (!entry || !entry->h_addr_list[0]) return "127.0.0.1";
  in_addr first;
  std::memcpy(&first, entry->h_addr_list[0], sizeof first);
  return inet_ntoa(first);
}

bool HostHasNetworkAddress() { return FirstHostAddress() != "127.0.0.1"; }

TResponder::TResponder(TAnswer Answer, const TPacket& Reply, const std::string& ReplyTo)
    : answer_(Answer), reply_(Reply), replyTo_(ReplyTo) {
  socket_ = BoundUdpSocket("0.0.0.0", 0);
  if (socket_ != INVALID_SOCKET) port_ = BoundPort(socket_);
  thread_ = std::thread([this] { Serve(); });
}

TResponder::~TResponder() {
  stop_ = true;
  thread_.join();
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

std::vector<uint8_t> TResponder::LastRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastRequest_;
}

void TResponder::Serve() {
  while (!stop_ && socket_ != INVALID_SOCKET) {
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

void TResponder::Answer(const std::vector<uint8_t>& Request, const sockaddr_in& Client) {
  std::vector<uint8_t> datagram(reply_.begin(), reply_.end());
  switch (answer_) {
    case TAnswer::Silent: return;
    case TAnswer::Reply: break;
    case TAnswer::Short47: datagram.resize(47); break;
    case TAnswer::Long68: datagram.resize(68, 0); break;
    case TAnswer::EchoRequest: datagram = Request; break;
  }
  sockaddr_in destination = Client;
  if (!replyTo_.empty()) destination.sin_addr.s_addr = inet_addr(replyTo_.c_str());
  sendto(socket_, reinterpret_cast<const char*>(datagram.data()), static_cast<int>(datagram.size()), 0,
         reinterpret_cast<const sockaddr*>(&destination), sizeof destination);
}

bool PumpUntil(const std::function<bool()>& Done, DWORD LimitMs) {
  const DWORD start = GetTickCount();
  while (!Done()) {
    if (GetTickCount() - start > LimitMs) return Done();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (!Done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

}  // namespace sntp::test
