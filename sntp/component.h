#pragma once
// Component base shared by the socket component and the SNTP client: an owner
// that destroys what it owns, a name, and a destroying flag that owned
// components read while their owner takes them down.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

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
  explicit TComponent(TComponent* owner = nullptr) : owner_(owner) {
    if (owner_) owner_->owned_.push_back(this);
  }

  virtual ~TComponent() {
    // Everything owned is marked first, so that no owned component fires
    // events into objects that are going away with it.
    for (TComponent* child : owned_) child->destroying_ = true;
    while (!owned_.empty()) {
      TComponent* child = owned_.back();
      owned_.pop_back();
      child->owner_ = nullptr;
      delete child;
    }
    destroying_ = true;
    if (owner_) {
      auto& siblings = owner_->owned_;
      siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
  }

  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // True while this component is being destroyed by its owner.
  bool Destroying() const { return destroying_; }

 private:
  TComponent* owner_;
  std::string name_;
  bool destroying_ = false;
  std::vector<TComponent*> owned_;
};

}  // namespace sntp
