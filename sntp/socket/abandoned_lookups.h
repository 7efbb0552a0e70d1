#pragma once
// The result areas of name lookups that were cancelled or replaced before
// their completion came. Winsock fills such an area from a thread of its own
// and may go on doing so after the cancellation (a lookup already under
// way), so an area is freed only once its lookup's completion has arrived,
// which proves Winsock done with it, or once it has waited far longer than
// any resolver waits for an answer. The record is process-wide: a socket,
// and the window its completions go to, may be gone before a late
// completion comes. Safe from any thread.
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace sntp {

class TAbandonedLookups {
 public:
  using TClock = std::chrono::steady_clock;
  using TArea = std::unique_ptr<char[]>;

  // Resolvers give up on a name within seconds (Windows after 10-15 s, a
  // resolver of two tries per server after 10 s each); an area twice as old
  // as the slowest is no longer written.
  static constexpr std::chrono::minutes kGrace{2};

  TAbandonedLookups() = default;
  // Areas still within their grace are left to Winsock rather than freed:
  // this runs when the library is unloaded.
  ~TAbandonedLookups();
  TAbandonedLookups(const TAbandonedLookups&) = delete;
  TAbandonedLookups& operator=(const TAbandonedLookups&) = delete;

  // Keeps Area, the result area of the lookup Handle, from Now on.
  void Abandon(uintptr_t handle, TArea area, TClock::time_point now);
  // The completion of the lookup Handle came: its area is freed. False when
  // no area of that lookup was kept.
  bool Completed(uintptr_t handle);
  // Frees the areas kept for longer than the grace.
  void Sweep(TClock::time_point now);
  size_t Count() const;

 private:
  struct TEntry {
    uintptr_t Handle;
    TArea Area;
    TClock::time_point Since;
  };

  mutable std::mutex mutex_;
  std::vector<TEntry> entries_;
};

// The record of this process.
TAbandonedLookups& AbandonedLookups();

}  // namespace sntp
