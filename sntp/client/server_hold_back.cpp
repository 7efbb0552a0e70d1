#include "sntp/client/server_hold_back.h"

#include <algorithm>

namespace sntp {

namespace {

constexpr std::chrono::seconds kFirstRateWait{64};
constexpr std::chrono::seconds kLongestRateWait{3600};

std::string KissText(TKissCode code) { return std::string("kiss-o'-death ") + KissCodeText(code); }

// Whole seconds, a started one counted: a wait is never told shorter than it is.
long long SecondsRoundedUp(std::chrono::steady_clock::duration left) {
  return std::chrono::ceil<std::chrono::seconds>(left).count();
}

}  // namespace

std::optional<std::string> TServerHoldBack::Refusal(const std::string& address) const {
  const auto found = holds_.find(address);
  if (found == holds_.end()) return std::nullopt;
  const THold& hold = found->second;
  if (hold.Code != kcRate) return "Not asking " + address + ": it sent " + KissText(hold.Code);
  const auto left = hold.Until - clock_();
  if (left <= std::chrono::steady_clock::duration::zero()) return std::nullopt;
  return "Not asking " + address + " for another " + std::to_string(SecondsRoundedUp(left)) + " s: it sent " +
         KissText(kcRate);
}

std::string TServerHoldBack::TakeKiss(const std::string& address, TKissCode code) {
  if (code == kcNone) return {};
  THold& hold = holds_[address];
  if (code != kcRate) {
    hold.Code = code;
    return address + " sent " + KissText(code) + ": it is not asked again";
  }
  // A RATE that follows a RATE: the wait before was not long enough.
  hold.Wait = hold.Code == kcRate ? std::min(hold.Wait * 2, kLongestRateWait) : kFirstRateWait;
  hold.Code = kcRate;
  hold.Until = clock_() + hold.Wait;
  return address + " sent " + KissText(kcRate) + ": it is not asked again for " + std::to_string(hold.Wait.count()) +
         " s";
}

void TServerHoldBack::TakeGoodReply(const std::string& address) {
  const auto found = holds_.find(address);
  if (found != holds_.end() && found->second.Code == kcRate) holds_.erase(found);
}

}  // namespace sntp
