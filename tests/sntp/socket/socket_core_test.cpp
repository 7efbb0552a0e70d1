// Platform-free pieces of the socket component as the client uses them:
// the datagram queue, the trimming of a server text, the resolvers' rules
// over a fake set of name services, and the record of abandoned lookups.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sntp/socket/abandoned_lookups.h"
#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/send_buffer.h"
#include "sntp/common/text_rules.h"
#include "tests/sntp/socket/fake_name_services.h"

namespace sntp {
namespace {

using test::ErrorText;
using test::TFakeServices;

std::vector<uint8_t> Bytes(int count, uint8_t first = 0) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(first + i);
  return bytes;
}

// Datagrams are never merged nor split: one chunk each, of its own size.
TEST(SendQueue, DatagramsTakeAChunkEach) {
  struct TCase { std::vector<int> Sends, Filled; };
  const TCase cases[] = {
      {{1000, 1000}, {1000, 1000}},
      {{1515, 3}, {1515, 3}},  // longer than a stream's chunk
      {{0, -3, 7}, {7}},
  };
  for (const TCase& c : cases) {
    TSendQueue queue;
    std::vector<std::vector<uint8_t>> datagrams;
    for (int len : c.Sends) {
      const auto data = Bytes(len > 0 ? len : 0, static_cast<uint8_t>(datagrams.size()));
      queue.QueueDatagram(data.data(), len);
      if (len > 0) datagrams.push_back(data);
    }
    ASSERT_EQ(queue.ChunkCount(), c.Filled.size());
    for (size_t i = 0; i < c.Filled.size(); ++i) {
      EXPECT_EQ(queue.At(i).Filled(), c.Filled[i]);
      int32_t len = 0;
      const uint8_t* p = queue.At(i).Peek(len);
      EXPECT_EQ(std::vector<uint8_t>(p, p + len), datagrams[i]);
    }
  }
}

TEST(TextRules, TrimmingDropsBlanksAndControlsOnlyAtTheEnds) {
  const std::map<std::string, std::string> cases = {
      {"", ""},
      {"   ", ""},
      {"\t\r\n\x01 x y \x1f", "x y"},
      {" \xC3\xA9t\xC3\xA9 ", "\xC3\xA9t\xC3\xA9"},
      {std::string("\0a\0", 3), "a"},
      {"\x7f", "\x7f"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(TrimBlanksAndControls(in), out);
}

// The texts the client resolves itself: dotted addresses, and texts that
// name no server. Names go to the asynchronous lookup (below).
TEST(ResolveRules, HostTexts) {
  TFakeServices services;
  EXPECT_EQ(ResolveHostText("255.255.255.255", services), 0xFFFFFFFFu) << "not taken for inet_addr's failure";
  EXPECT_EQ(ResolveHostText(" \t127.0.0.1\r\n", services), services.InetAddr("127.0.0.1"));
  const std::string tooLong(257, 'a');
  const std::map<std::string, std::string> failures = {
      {"", "WSocketResolveHost: '' Invalid Hostname."},
      {tooLong, "WSocketResolveHost: '" + tooLong + "' Invalid Hostname."},
      {" 1.2.3", "WSocketResolveHost: ' 1.2.3' Invalid IP address."},
      {"256.1.1.1", "WSocketResolveHost: '256.1.1.1' Invalid IP address."},
      {"3com.example", "WSocketResolveHost: '3com.example' Invalid IP address."},
  };
  for (const auto& [text, message] : failures)
    EXPECT_EQ(ErrorText([&] { ResolveHostText(text, services); }), message);
}

// The client looks a server up asynchronously exactly when the resolver
// would ask the name service for a server's name.
TEST(ResolveRules, NameLookupIsNeededForNamesOnly) {
  struct TCase { std::string Host; bool Lookup; };
  const TCase cases[] = {
      {"timeserver.test", true},   {" \tlocalhost\r\n", true}, {std::string(256, 'a'), true},
      {"h\xC3\xB6st", true},        {"10.213.0.1", false},        {" 1.2.3", false},
      {"3com.example", false},     {"", false},                  {"   ", false},
      {std::string(257, 'a'), false},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(NeedsNameLookup(c.Host), c.Lookup) << "'" << c.Host << "'";
    TFakeServices services;
    ErrorText([&] { ResolveHostText(c.Host, services); });
    const bool askedForAServer = !services.LastName.empty();
    EXPECT_EQ(askedForAServer, c.Lookup) << "'" << c.Host << "'";
  }
}

// An abandoned lookup's area is freed by its own late completion, or once
// it is older than any resolver waits; never by another lookup's.
TEST(AbandonedLookups, FreedByTheirOwnCompletionOrAfterTheGrace) {
  using TClock = TAbandonedLookups::TClock;
  const TClock::time_point start{};
  TAbandonedLookups lookups;
  for (uintptr_t handle : {7, 8, 9}) {
    lookups.Abandon(handle, std::make_unique<char[]>(1025), start + std::chrono::seconds(handle));
  }
  EXPECT_FALSE(lookups.Completed(10)) << "not one of them";
  EXPECT_TRUE(lookups.Completed(8));
  EXPECT_FALSE(lookups.Completed(8)) << "freed once";
  lookups.Sweep(start + TAbandonedLookups::kGrace + std::chrono::seconds(7));
  EXPECT_EQ(lookups.Count(), 2u) << "7 is at its grace, not past it";
  lookups.Sweep(start + TAbandonedLookups::kGrace + std::chrono::milliseconds(9001));
  EXPECT_EQ(lookups.Count(), 0u);
}

}  // namespace
}  // namespace sntp
