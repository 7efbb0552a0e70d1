#pragma once
// Name resolution for the socket component and the SNTP client: text
// endpoints to numbers, the local host name and its address list. Every
// failure raises ESocketException with the message the caller shows.
#include <cstdint>
#include <string>
#include <vector>

#include "sntp/socket/socket_exception.h"
#include "sntp/common/text_rules.h"
#include "sntp/socket/winsock_error_text.h"

struct hostent;

namespace sntp {

// Dotted IPv4 address (blanks around it allowed) or host name; the result is
// in network byte order. "255.255.255.255" yields the broadcast address.
uint32_t WSocketResolveHost(const std::string& host);

// Decimal port (its leading digits) or service name for Proto; host byte
// order, no range check (callers keep the low 16 bits).
int WSocketResolvePort(const std::string& port, const std::string& proto);

// Decimal protocol number or protocol name ("udp" 17, "tcp" 6).
int WSocketResolveProto(const std::string& proto);

// This machine's host name.
std::string GetLocalHostName();

// This machine's IPv4 addresses as dotted text, in order: those of its host
// name's entry (none when it has no entry).
std::vector<std::string> GetLocalAddresses();

// gethostbyname of Name (at most 256 characters are passed on); the entry
// is Winsock's own, valid until the same thread's next lookup; nullptr
// when none.
hostent* LookupHostEntry(const std::string& name);

// Appends every address of Entry, in order, as dotted text.
void AddHostAddresses(const hostent* entry, std::vector<std::string>& list);

}  // namespace sntp
