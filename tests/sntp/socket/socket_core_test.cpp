// Platform-free pieces of the socket component: send-queue chunks, the
// error text table, the text rules and the resolvers' rules over a fake set
// of name services.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fake_name_services.h"
#include "sntp/socket/resolve_rules.h"
#include "sntp/socket/send_buffer.h"
#include "sntp/socket/text_rules.h"
#include "sntp/socket/winsock_error_text.h"

namespace sntp {
namespace {

using test::ErrorText;
using test::TFakeServices;

std::vector<uint8_t> Bytes(int count, uint8_t first = 0) {
  std::vector<uint8_t> bytes(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(first + i);
  return bytes;
}

TEST(SendBuffer, WriteFillsUpToCapacityAndPeekRemoveHandOutInOrder) {
  TBuffer chunk(10);
  const auto data = Bytes(15);
  EXPECT_EQ(chunk.Write(data.data(), 15), 10);
  EXPECT_EQ(chunk.Write(data.data(), 1), 0) << "a full chunk takes nothing";
  EXPECT_EQ(chunk.Remove(4), 4);
  int32_t left = 0;
  const uint8_t* next = chunk.Peek(left);
  ASSERT_EQ(left, 6);
  EXPECT_EQ(next[0], 4);
  EXPECT_EQ(chunk.Remove(100), 6) << "removal is capped at what is left";
  EXPECT_EQ(chunk.Peek(left), nullptr);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(chunk.Remove(1), 0);
  // Emptied, the chunk starts over and takes a full load again.
  EXPECT_EQ(chunk.Write(data.data(), 15), 10);
}

TEST(SendBuffer, NonPositiveSizeMeansOneFrame) {
  EXPECT_EQ(TBuffer(0).Capacity(), 1514);
  EXPECT_EQ(TBuffer(-5).Capacity(), 1514);
  TBuffer chunk(3);
  EXPECT_EQ(chunk.Write(nullptr, 3), 0);
  EXPECT_EQ(chunk.Write("ab", -1), 0);
  EXPECT_EQ(chunk.Remove(-1), 0);
}

TEST(SendQueue, SplitsAcrossChunksAndKeepsByteOrder) {
  struct Case {
    std::vector<int> Sends;
    std::vector<int> Filled;
  };
  const Case cases[] = {
      {{1000, 1000}, {1514, 486}},
      {{1514}, {1514}},
      {{1515}, {1514, 1}},
      {{4000}, {1514, 1514, 972}},
      {{0, -3, 7}, {7}},
  };
  for (const Case& c : cases) {
    TSendQueue queue;
    std::vector<uint8_t> all;
    for (int len : c.Sends) {
      const auto data = Bytes(len > 0 ? len : 0, static_cast<uint8_t>(all.size()));
      queue.QueueData(data.data(), len);
      all.insert(all.end(), data.begin(), data.end());
    }
    ASSERT_EQ(queue.ChunkCount(), c.Filled.size());
    std::vector<uint8_t> drained;
    for (size_t i = 0; i < c.Filled.size(); ++i) {
      EXPECT_EQ(queue.At(i).Filled(), c.Filled[i]);
      int32_t len = 0;
      const uint8_t* p = queue.At(i).Peek(len);
      drained.insert(drained.end(), p, p + len);
    }
    EXPECT_EQ(drained, all);
  }
}

// Datagrams are never merged nor split: one chunk each, of its own size.
TEST(SendQueue, DatagramsTakeAChunkEach) {
  struct Case {
    std::vector<int> Sends;
    std::vector<int> Filled;
  };
  const Case cases[] = {
      {{1000, 1000}, {1000, 1000}},
      {{1}, {1}},
      {{1515}, {1515}},
      {{65507, 3}, {65507, 3}},
      {{0, -3, 7}, {7}},
  };
  for (const Case& c : cases) {
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

TEST(WinsockErrorText, KnownCodesAndEverythingElse) {
  const std::map<int, std::string> cases = {
      {0, "No Error"},
      {10004, "Interrupted system call"},
      {10059, "Too many references: can't splice"},
      {10071, "Too many levels of remote in path"},
      {10093, "WinSock not initialized"},
      {11004, "No Data"},
      {10072, "Not a WinSock error"},
      {10090, "Not a WinSock error"},
      {11005, "Not a WinSock error"},
      {-1, "Not a WinSock error"},
      {-10048, "Not a WinSock error"},
      {1, "Not a WinSock error"},
  };
  for (const auto& [code, text] : cases) EXPECT_EQ(WinsockErrorText(code), text) << code;
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
  EXPECT_TRUE(StartsWithDigit("9a"));
  EXPECT_FALSE(StartsWithDigit(" 9"));
  EXPECT_FALSE(StartsWithDigit(""));
}

TEST(TextRules, LeadingDecimal) {
  const std::map<std::string, int32_t> cases = {
      {"", 0},        {"abc", 0},     {"123", 123},          {"  42x", 42},      {"\t42", 0},
      {"-5", 0},      {"007", 7},     {"123abc", 123},       {"1 2", 1},         {"65536", 65536},
      {"2147483647", 2147483647},    {"4294967295", -1},    {"4294967296", 0},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseLeadingDecimal(text), value) << text;
  // 10^10000 - 1 modulo 2^32, without overflowing on the way.
  EXPECT_EQ(ParseLeadingDecimal(std::string(10000, '9')), -1);
}

TEST(ResolveRules, HostTexts) {
  TFakeServices services;
  EXPECT_EQ(ResolveHostText("255.255.255.255", services), 0xFFFFFFFFu);
  EXPECT_EQ(ResolveHostText(" \t127.0.0.1\r\n", services), services.InetAddr("127.0.0.1"));
  EXPECT_EQ(ResolveHostText("  localhost ", services), services.InetAddr("127.0.0.1"));
  EXPECT_EQ(services.LastName, "localhost");
  EXPECT_EQ(ResolveHostText("   ", services), services.InetAddr("10.0.0.5")) << "the empty name: this host";
  const std::string longest(256, 'a'), tooLong(257, 'a'), huge(10000, 'a');
  const std::map<std::string, std::string> failures = {
      {"", "WSocketResolveHost: '' Invalid Hostname."},
      {tooLong, "WSocketResolveHost: '" + tooLong + "' Invalid Hostname."},
      {huge, "WSocketResolveHost: '" + huge + "' Invalid Hostname."},
      {longest, "WSocketResolveHost: Cannot convert host address '" + longest + "'"},
      {" 1.2.3", "WSocketResolveHost: ' 1.2.3' Invalid IP address."},
      {"256.1.1.1", "WSocketResolveHost: '256.1.1.1' Invalid IP address."},
      {"3com.example", "WSocketResolveHost: '3com.example' Invalid IP address."},
      {"h\xC3\xB6st", "WSocketResolveHost: Cannot convert host address 'h\xC3\xB6st'"},
  };
  for (const auto& [text, message] : failures)
    EXPECT_EQ(ErrorText([&] { ResolveHostText(text, services); }), message);
}

// The client looks a server up asynchronously exactly when the resolver
// would ask the name service for a server's name.
TEST(ResolveRules, NameLookupIsNeededForNamesOnly) {
  struct Case { std::string Host; bool Lookup; };
  const Case cases[] = {
      {"timeserver.test", true},   {" \tlocalhost\r\n", true}, {std::string(256, 'a'), true},
      {"h\xC3\xB6st", true},        {"10.213.0.1", false},        {" 1.2.3", false},
      {"3com.example", false},     {"", false},                  {"   ", false},
      {std::string(257, 'a'), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NeedsNameLookup(c.Host), c.Lookup) << "'" << c.Host << "'";
    TFakeServices services;
    ErrorText([&] { ResolveHostText(c.Host, services); });
    const bool askedForAServer = !services.LastName.empty();
    EXPECT_EQ(askedForAServer, c.Lookup) << "'" << c.Host << "'";
  }
}

TEST(ResolvePortRules, NumbersNamesAndLimits) {
  TFakeServices services;
  EXPECT_EQ(ResolvePortText("123abc", "udp", services), 123);
  EXPECT_EQ(ResolvePortText("70000", "udp", services), 70000) << "no range check";
  EXPECT_EQ(ResolvePortText(std::string(31, '9'), "udp", services), ParseLeadingDecimal(std::string(31, '9')));
  EXPECT_EQ(services.Lookups, 0) << "numeric ports never reach the services";
  EXPECT_EQ(ResolvePortText(" ntp\t", " udp ", services), 123);
  EXPECT_EQ(services.LastName, "ntp");
  EXPECT_EQ(services.LastProto, "udp");
  EXPECT_EQ(ResolvePortText("ntp", "  ", services), 123);
  EXPECT_EQ(services.LastProto, "(any)");
  const std::map<std::string, std::string> failures = {
      {"", "WSocketResolvePort: Invalid Port."},
      {std::string(32, '1'), "WSocketResolvePort: Invalid Port."},
      {std::string(10000, 'x'), "WSocketResolvePort: Invalid Port."},
      {" 123", "WSocketResolvePort: Cannot convert port ' 123'"},
      {"  ", "WSocketResolvePort: Cannot convert port '  '"},
      {"n\x01tp", "WSocketResolvePort: Cannot convert port 'n\x01tp'"},
  };
  for (const auto& [text, message] : failures)
    EXPECT_EQ(ErrorText([&] { ResolvePortText(text, "udp", services); }), message);
}

TEST(ResolveProtoRules, NumbersNamesAndLimits) {
  TFakeServices services;
  EXPECT_EQ(ResolveProtoText("17", services), 17);
  EXPECT_EQ(ResolveProtoText(" 6x ", services), 6);
  EXPECT_EQ(ResolveProtoText(" tcp\t", services), 6);
  EXPECT_EQ(ResolveProtoText("udp", services), 17);
  EXPECT_EQ(ResolveProtoText("big", services), -2) << "the 16-bit number is sign-extended";
  const std::map<std::string, std::string> failures = {
      {"", "WSocketResolveProto: Invalid Protocol."},
      {std::string(32, 'u'), "WSocketResolveProto: Invalid Protocol."},
      {"   ", "WSocketResolveProto: Invalid Protocol."},
      {" sctp ", "WSocketResolveProto: Cannot convert protocol 'sctp'"},
      {"\xFF\xFE", "WSocketResolveProto: Cannot convert protocol '\xFF\xFE'"},
  };
  for (const auto& [text, message] : failures)
    EXPECT_EQ(ErrorText([&] { ResolveProtoText(text, services); }), message);
}

}  // namespace
}  // namespace sntp
