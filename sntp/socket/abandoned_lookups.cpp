#include "sntp/socket/abandoned_lookups.h"

#include <algorithm>

namespace sntp {

TAbandonedLookups::~TAbandonedLookups() {
  for (TEntry& entry : entries_) static_cast<void>(entry.Area.release());
}

void TAbandonedLookups::Abandon(uintptr_t handle, TArea area, TClock::time_point now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  entries_.push_back({handle, std::move(area), now});
}

bool TAbandonedLookups::Completed(uintptr_t handle) {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found =
      std::find_if(entries_.begin(), entries_.end(), [handle](const TEntry& entry) { return entry.Handle == handle; });
  if (found == entries_.end()) return false;
  entries_.erase(found);
  return true;
}

void TAbandonedLookups::Sweep(TClock::time_point now) {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(entries_, [now](const TEntry& entry) { return now - entry.Since > kGrace; });
}

size_t TAbandonedLookups::Count() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

TAbandonedLookups& AbandonedLookups() {
  static TAbandonedLookups lookups;
  return lookups;
}

}  // namespace sntp
