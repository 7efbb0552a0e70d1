#pragma once
// The base of the socket component and the SNTP client: the object their
// events carry as Sender, and the events' shapes. A component that is being
// destroyed fires no event: its destructor says so first.
#include <cstdint>
#include <functional>

namespace sntp {

class TComponent;

// An event with only the firing object.
using TNotifyEvent = std::function<void(TComponent* sender)>;
// An event with the firing object and a Winsock error code, 0 meaning none.
using TErrorCodeEvent = std::function<void(TComponent* sender, uint16_t error)>;
// A datagram waits (the socket's event), a reply was accepted (the client's).
using TDataAvailable = TErrorCodeEvent;

class TComponent {
 public:
  TComponent() = default;
  virtual ~TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  // True while this component is being destroyed.
  bool Destroying() const { return destroying_; }

 protected:
  // The first step of a destructor that closes what the component holds.
  void BeginDestroying() { destroying_ = true; }

 private:
  bool destroying_ = false;
};

}  // namespace sntp
