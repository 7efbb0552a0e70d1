#include "sntp/common/failure_text.h"

#include <exception>

namespace sntp {

const char* CaughtFailureText() noexcept {
  try {
    throw;
  } catch (const std::exception& failure) {
    return failure.what();
  } catch (...) {
    return "a failure that is no standard exception";
  }
}

}  // namespace sntp
