#pragma once
// Descriptions of the Winsock 1.1 error codes, as every socket error report
// shows them under its "Error N in function F" line.
#include <string>

namespace sntp {

// The description of Code, or "Not a WinSock error" for a code without one.
std::string WinsockErrorText(int code);

}  // namespace sntp
