#pragma once
// The one exception type of the socket component and its resolvers.
#include <stdexcept>

namespace sntp {

class ESocketException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace sntp
