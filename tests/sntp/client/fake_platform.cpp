#include "tests/sntp/client/fake_platform.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "tests/sntp/socket/fake_name_services.h"

namespace sntp::test {

uint32_t DottedToAddress(const std::string& text) { return TFakeServices().InetAddr(text.c_str()); }

TFakePort::TFakePort(TFakePlatform& platform) : platform_(platform) {}

TFakePort::~TFakePort() { std::erase(platform_.Ports, this); }

bool TFakePort::Open(const std::string& call, uint16_t error) {
  Calls.push_back(call);
  open_ = error == 0;
  if (!open_ && OnError) OnError(error, "Error " + std::to_string(error) + " in function " + call);
  return open_;
}

void TFakePort::Listen(const std::string& port) { Open("listen " + port, OpenError); }

void TFakePort::Connect(const std::string& address, const std::string& port) {
  Open("connect " + address + ":" + port, OpenError != 0 ? OpenError : platform_.ConnectError);
}

void TFakePort::Send(std::span<const uint8_t> datagram) {
  Calls.push_back("send");
  Sent.emplace_back(datagram.begin(), datagram.end());
}

int TFakePort::Receive(std::span<uint8_t> buffer, uint32_t& source, uint16_t& error) {
  error = 0;
  if (resetWaiting_) {
    resetWaiting_ = false;
    error = 10054;
    return -1;
  }
  if (waiting_.empty()) {
    error = 10035;
    return -1;
  }
  const auto [datagram, from] = waiting_.front();
  waiting_.pop_front();
  source = from;
  if (datagram.size() > buffer.size()) {  // as Winsock: too long for the buffer, and lost
    error = 10040;
    return -1;
  }
  std::copy(datagram.begin(), datagram.end(), buffer.begin());
  return static_cast<int>(datagram.size());
}

void TFakePort::Close() {
  Calls.push_back("close");
  open_ = false;
  waiting_.clear();
}

void TFakePort::LookupName(const std::string& name) {
  Calls.push_back("lookup " + name);
  if (LookupError != 0) {
    if (OnError) OnError(LookupError, "can't start DNS lookup");
    return;
  }
  pending_ = true;
}

void TFakePort::CancelLookup() {
  Calls.push_back("cancel");
  if (pending_) FinishLookup(10004);
}

void TFakePort::Deliver(const std::vector<uint8_t>& datagram, const std::string& source) {
  waiting_.emplace_back(datagram, DottedToAddress(source));
  if (OnDatagram) OnDatagram(0);
}

void TFakePort::DeliverPortUnreachable() {
  resetWaiting_ = true;
  if (OnDatagram) OnDatagram(0);
}

void TFakePort::FinishLookup(uint16_t error, const std::vector<std::string>& addresses) {
  pending_ = false;
  if (OnNameFound) OnNameFound(error, addresses);
}

TFakeTimer::~TFakeTimer() {
  if (platform_.Timer == this) platform_.Timer = nullptr;
}

std::unique_ptr<TDatagramPort> TFakePlatform::CreatePort() {
  auto port = std::make_unique<TFakePort>(*this);
  Ports.push_back(port.get());
  ++PortsMade;
  return port;
}

std::unique_ptr<TExchangeTimer> TFakePlatform::CreateTimer(std::function<void()> onTimeout) {
  if (RefuseTimer) throw std::runtime_error("no threads for a timer");
  auto timer = std::make_unique<TFakeTimer>(*this);
  Timer = timer.get();
  onTimeout_ = std::move(onTimeout);
  return timer;
}

uint32_t TFakePlatform::ResolveAddress(const std::string& text) {
  TFakeServices services;
  return ResolveHostText(text, services);
}

uint64_t TFakePlatform::RandomStamp() {
  if (Stamps.empty()) return kRequestStamp;
  const uint64_t stamp = Stamps.front();
  Stamps.pop_front();
  return stamp;
}

void TFakePlatform::FireTimer() {
  if (Timer && Timer->Enabled) onTimeout_();
}

void TFakePlatform::RunTimerUntil(double milliseconds) {
  Counter = std::llround(milliseconds * 1000);
  FireTimer();
}

}  // namespace sntp::test
