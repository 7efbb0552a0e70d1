// The reply fuzz target's kept corpus, replayed on every test run under the
// build's sanitizers: a file that once broke an invariant breaks it again.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size);

namespace {

TEST(ReplyFuzzCorpus, EveryKeptInputPasses) {
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(SNTP_REPLY_CORPUS)) {
    std::ifstream file(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
    SCOPED_TRACE(entry.path().filename().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    ++inputs;
  }
  EXPECT_GE(inputs, 8) << "the corpus in " << SNTP_REPLY_CORPUS;
}

}  // namespace
