#pragma once
// The servers the library holds back from asking, after a kiss-o'-death
// that answered one of its requests. After DENY or RSTR an address is not
// asked again for as long as the record lives (the library keeps it while it
// is loaded); after RATE it is not asked for a while: 64 s at first, twice
// as long after each further RATE, at most an hour, until a good reply from
// it starts the wait afresh. Public servers answer clients that ask too
// often with RATE, and keep answering a client that obeys.
//
// Free of any platform call; the monotonic clock is given, so that tests run
// the waits in virtual time.
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "sntp/client/reply_checks.h"

namespace sntp {

class TServerHoldBack {
 public:
  using TClock = std::function<std::chrono::steady_clock::time_point()>;

  explicit TServerHoldBack(TClock clock) : clock_(std::move(clock)) {}

  // Why the server at Address (dotted) is not to be asked now, as the log
  // says it; none when it may be asked.
  std::optional<std::string> Refusal(const std::string& address) const;
  // The server at Address answered a request with the kiss Code: holds it
  // back, and says how, as the log says it.
  std::string TakeKiss(const std::string& address, TKissCode code);
  // The server at Address gave a good reply.
  void TakeGoodReply(const std::string& address);

 private:
  struct THold {
    TKissCode Code = kcNone;
    std::chrono::seconds Wait{0};  // after RATE: the wait it asked for
    std::chrono::steady_clock::time_point Until{};
  };

  TClock clock_;
  std::map<std::string, THold> holds_;
};

}  // namespace sntp
