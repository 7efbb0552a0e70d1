// Decoding compressed frames: round trips through a test encoder, hand-made
// code sequences for the data the format does not allow, and a comparison
// with a plain stack-based decoder on damaged data of every kind.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <span>
#include <string>
#include <tuple>

#include "tests/quickintro/gif/gif_pieces.h"
#include "tests/quickintro/gif/support/reference_decoder.h"
#include "quickintro/gif/graphic_error.h"
#include "quickintro/gif/lzw_decoder.h"
#include "tests/quickintro/gif/support/lzw_test_encoder.h"
#include "tests/quickintro/gif/support/test_images.h"

namespace quickintro::gif {
namespace {

using test::DecodeThroughDib;
using test::EncodeFrame;
using test::TEncodeOptions;
using test::FrameData;

enum TPictureKind { pkPhoto, pkFlat, pkNoise };

struct TRoundTripCase {
  const char* Name;
  int Width, Height, PixelBits, CodeSize;
  bool Interlaced;
  TPictureKind Picture;
  TEncodeOptions Options;
};

std::vector<std::uint8_t> MakePicture(const TRoundTripCase& c) {
  const int colours = 1 << std::min(c.PixelBits, c.CodeSize);
  switch (c.Picture) {
    case pkPhoto: return test::PhotoLikeImage(c.Width, c.Height);
    case pkFlat: return test::FlatImage(c.Width, c.Height, colours);
    default: return test::NoiseImage(c.Width, c.Height, colours);
  }
}

// The unusual kinds of stream (no clear code first, clear codes in a row or
// every few codes) are compared with giflib in gif_differential_test.cpp, and
// with the plain decoder below on every platform.
TEST(LzwDecoder, DecodesWhatTheEncoderWrote) {
  const TEncodeOptions kNoClear{.ClearWhenFull = false};
  const TEncodeOptions kNoEnd{.EndCode = false};
  const TRoundTripCase cases[] = {
      {"photograph at 8 bits", 64, 48, 8, 8, false, pkPhoto, {}},
      {"code size 9 above the pixel bits", 40, 30, 8, 9, false, pkNoise, {}},
      {"long runs at 1 bit", 203, 61, 1, 2, false, pkFlat, {}},
      {"full table kept at 12 bits", 200, 200, 8, 8, false, pkNoise, kNoClear},
      {"full table kept at 12 bits, long runs", 640, 200, 8, 8, false, pkFlat, kNoClear},
      {"no end code after the last row", 17, 11, 8, 8, false, pkPhoto, kNoEnd},
      {"interlaced at 1 bit", 77, 29, 1, 2, true, pkFlat, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto pixels = MakePicture(c);
    const auto data = EncodeFrame(test::InStreamOrder(pixels, c.Width, c.Height, c.Interlaced), c.CodeSize, c.Options);
    const auto frame = DecodeThroughDib(data, {static_cast<std::uint16_t>(c.Width),
                                               static_cast<std::uint16_t>(c.Height), c.PixelBits, c.Interlaced});
    EXPECT_FALSE(frame.Corrupted);
    EXPECT_EQ(frame.Image, pixels);
  }
}

struct TCodeCase {
  const char* Name;
  int CodeSize, PixelBits, Width;
  std::vector<int> Codes;
  std::vector<std::uint8_t> Expected;  // the row, pixels not reached 0
  bool Corrupted;
};

TEST(LzwDecoder, HandlesCodeSequencesBeyondTheFormat) {
  // Code size 2: clear 4, end 5, first free code 6.
  const TCodeCase cases[] = {
      {"code equal to the next free code", 2, 2, 3, {4, 1, 6, 5}, {1, 1, 1}, false},
      {"code above the next free code decodes the same", 2, 2, 3, {4, 1, 7, 5}, {1, 1, 1}, false},
      {"next free code after a table code", 2, 2, 7, {4, 1, 2, 6, 8, 5}, {1, 2, 1, 2, 1, 2, 1}, false},
      {"no clear code first: the first code starts the table", 2, 2, 4, {1, 2, 6, 5}, {1, 2, 1, 2}, false},
      {"clear codes in a row at the start", 2, 2, 3, {4, 4, 4, 2, 3, 5}, {2, 3, 0}, false},
      {"clear codes in a row later", 2, 2, 5, {4, 1, 2, 4, 4, 3, 6, 5}, {1, 2, 3, 3, 3}, false},
      {"end code right after a clear code ends the frame", 2, 1, 3, {4, 1, 4, 5, 1, 5}, {1, 0, 0}, false},
      {"end code as the first code", 2, 2, 2, {5, 1, 5}, {0, 0}, false},
      {"table code right after a clear code is damage", 2, 2, 4, {4, 1, 4, 6, 1, 5}, {1, 0, 0, 0}, true},
      {"table code as the first code is damage", 2, 2, 2, {6, 1, 5}, {0, 0}, true},
      // Under a 256-colour table the codes 6 and 7 are still table codes.
      {"code size below the table's depth", 2, 8, 6, {4, 3, 2, 6, 7, 5}, {3, 2, 3, 2, 2, 3}, false},
      {"pixel value beyond the colour table is cut to it", 3, 1, 5, {8, 1, 3, 1, 9}, {1, 1, 1, 0, 0}, true},
      {"end code before the last row", 2, 2, 4, {4, 1, 5, 2, 2}, {1, 0, 0, 0}, false},
      {"bytes after the end code are ignored", 2, 2, 3, {4, 1, 3, 5, 1, 1, 1}, {1, 3, 0}, false},
      {"data ending after the last row", 2, 2, 4, {4, 1, 0, 3, 2}, {1, 0, 3, 2}, false},
      {"data ending before the last row", 2, 2, 8, {4, 1, 0}, {1, 0, 0, 0, 0, 0, 0, 0}, true},
      {"data ending right after a clear code", 2, 2, 8, {4, 1, 0, 1, 0, 1, 4}, {1, 0, 1, 0, 1, 0, 0, 0}, true},
      {"string running past the last row", 2, 2, 3, {4, 1, 2, 6, 6, 5}, {1, 2, 1}, false},
      // 7 above the next free code becomes the previous code, so entry 7 gets
      // prefix 7: unwinding it never reaches a pixel.
      {"prefix loop overflows the stack", 2, 1, 10, {4, 1, 7, 7, 7, 5}, {1, 1, 1, 0, 0, 1, 0, 0, 0, 0}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const auto data = FrameData(c.CodeSize, c.Codes);
    const auto frame =
        DecodeThroughDib(data, {static_cast<std::uint16_t>(c.Width), 1, c.PixelBits, false});
    EXPECT_EQ(frame.Image, c.Expected);
    EXPECT_EQ(frame.Corrupted, c.Corrupted);
  }
}

TEST(LzwDecoder, FullTableStaysAtTwelveBits) {
  // Code size 2: 4090 codes after the clear code fill entries 6..4095; the
  // codes after them are 12 bits wide and add nothing.
  std::vector<int> codes{4};
  for (int i = 0; i < 4091; ++i) codes.push_back(i % 2);
  const std::vector<int> tail{4095, 1, 4095, 0};
  codes.insert(codes.end(), tail.begin(), tail.end());
  codes.push_back(5);
  const auto data = FrameData(2, codes);
  const auto frame = DecodeThroughDib(data, {8200, 1, 1, false});
  EXPECT_FALSE(frame.Corrupted);
  std::vector<std::uint8_t> expected;
  for (int i = 0; i < 4091; ++i) expected.push_back(static_cast<std::uint8_t>(i % 2));
  const std::vector<std::uint8_t> entry4095{1, 0};  // entry 4095: code 4089 (1) + first pixel of 4090 (0)
  for (int part = 0; part < 2; ++part) {
    expected.insert(expected.end(), entry4095.begin(), entry4095.end());
    expected.push_back(static_cast<std::uint8_t>(1 - part));
  }
  expected.resize(8200, 0);
  EXPECT_EQ(frame.Image, expected);
}

using Notifications = std::vector<std::tuple<TProgressStage, int, std::string>>;

DecodeProgressSink RecordInto(Notifications& seen) {
  return [&seen](TProgressStage stage, int percent, const std::string& message) {
    seen.emplace_back(stage, percent, message);
  };
}

// Progress of a 12-byte stream: code size byte, sub-blocks of 1, 4 and 3
// bytes. Codes are 3 bits wide, so two pixel codes come from the first
// sub-block; the second is the first one reported. (Order and range of
// every notification are checked by the fuzz target's corpus.)
TEST(LzwDecoder, ReportsProgressByStreamPosition) {
  const std::vector<std::uint8_t> data{2, 1, 0b00'001'001, 4, 0, 0, 0, 0, 3, 0, 0, 0};
  Notifications seen;
  TByteCursor source(data);
  std::vector<std::uint8_t> pixels(8 * 20);
  DecodeFrameBits(source, {13, 20, 2, false}, 4, RecordInto(seen), pixels);
  ASSERT_GE(seen.size(), 4u);
  EXPECT_EQ(seen.front(), std::make_tuple(psStarting, 0, std::string()));
  EXPECT_EQ(seen[1], std::make_tuple(psRunning, 25, std::string()));  // 3 of 12 bytes read
  EXPECT_EQ(seen[2], std::make_tuple(psRunning, 66, std::string()));  // 8 of 12: truncated
  EXPECT_EQ(seen.back(), std::make_tuple(psEnding, 100, std::string()));
}

TEST(LzwDecoder, EndNotificationCarriesTheFailure) {
  const std::vector<std::uint8_t> data{10, 1, 0, 0};
  Notifications seen;
  TByteCursor source(data);
  std::vector<std::uint8_t> pixels(4);
  EXPECT_THROW(DecodeFrameBits(source, {1, 1, 8, false}, 8, RecordInto(seen), pixels), EInvalidGraphicOperation);
  EXPECT_EQ(seen, (Notifications{{psStarting, 0, ""}, {psEnding, 0, kCodeSizeRangeMessage}}));
}

// Valid streams of every kind (no leading clear code, clear codes in a row or
// every few codes, code sizes above and below the table's depth) and damaged
// data of every kind, decoded both ways: the fast decoder must give the plain
// decoder's pixels, flag and failures exactly.
struct TRandomFrame {
  TFrameFormat Format;
  std::vector<std::uint8_t> Data;
};

TRandomFrame MakeDamagedFrame(std::mt19937& random) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  TRandomFrame frame;
  frame.Format = {static_cast<std::uint16_t>(pick(1, 70)), static_cast<std::uint16_t>(pick(1, 12)),
                  pick(1, 8), pick(0, 1) == 1};
  const int codeSize = pick(2, 9);
  // Now and then pixel values beyond the colour table.
  const int colours = std::min(1 << (pick(0, 7) ? frame.Format.PixelBits : 8), 1 << codeSize);
  const int count = frame.Format.Width * frame.Format.Height;
  const auto picture = pick(0, 1) ? test::FlatImage(count, 1, std::min(colours, pick(1, 4)), random())
                                  : test::NoiseImage(count, 1, colours, random());
  const TEncodeOptions options{.ClearWhenFull = pick(0, 1) == 1,
                               .EndCode = pick(0, 3) > 0,
                               .LeadingClear = pick(0, 2) > 0,
                               .ClearsInARow = pick(0, 3) ? 1 : pick(2, 3),
                               .ClearEvery = pick(0, 3) ? 0 : pick(1, 9),
                               .ClearBeforeEnd = pick(0, 4) == 0};
  auto codes = test::EncodeCodes(picture, codeSize, options);
  const int damage = pick(0, 6);
  for (int i = 0; i < damage && !codes.empty(); ++i) {
    const auto at = static_cast<std::size_t>(pick(0, static_cast<int>(codes.size()) - 1));
    codes[at] = pick(0, 3) == 0 ? (1 << codeSize) + pick(0, 1) : pick(0, 4095);
  }
  if (pick(0, 4) == 0) codes.resize(codes.size() / 2);
  frame.Data = FrameData(codeSize, codes, static_cast<std::size_t>(pick(1, 255)), pick(0, 3) > 0);
  if (pick(0, 9) == 0) frame.Data.resize(frame.Data.size() * 3 / 4);  // a sub-block cut short
  return frame;
}

// The fast decoder gives the plain decoder's pixels, flag and failures.
void ExpectAsThePlainDecoder(const std::vector<std::uint8_t>& data, const TFrameFormat& format) {
  const std::size_t count = std::size_t{format.Width} * format.Height;
  test::TReferenceResult reference;
  try {
    reference = test::ReferenceDecode(data, format.PixelBits, count);
  } catch (const std::runtime_error&) {
    EXPECT_THROW(DecodeThroughDib(data, format), EReadError);
    return;
  }
  const auto decoded = DecodeThroughDib(data, format);
  EXPECT_EQ(decoded.Image, test::PlaceRows(reference.Pixels, format.Width, format.Height, format.Interlaced));
  EXPECT_EQ(decoded.Corrupted, reference.Corrupted);
}

TEST(LzwDecoder, MatchesThePlainDecoderOnDamagedData) {
  std::mt19937 random(20240607);
  for (int round = 0; round < 2500; ++round) {
    const TRandomFrame frame = MakeDamagedFrame(random);
    SCOPED_TRACE("round " + std::to_string(round));
    ExpectAsThePlainDecoder(frame.Data, frame.Format);
    if (HasFailure()) return;
  }
}

// Streams of nothing but pixel values, over many tables, damaged or not:
// each table chooses the loop for the next one, and after tables of pixel
// values the loop takes a path of its own for them, at 8 bits per pixel and
// below (where the rows are decoded as bytes and packed).
TEST(LzwDecoder, MatchesThePlainDecoderWhereTablesChooseTheLoop) {
  std::mt19937 random(4242);
  const struct {
    const char* Name;
    TFrameFormat Format;
    int CodeSize;
  } cases[] = {
      {"256 colours", {320, 50, 8, false}, 8},
      {"256 colours, interlaced", {203, 77, 8, true}, 8},
      {"16 colours", {300, 41, 4, false}, 4},
      {"2 colours, interlaced", {129, 99, 1, true}, 2},
  };
  for (const auto& c : cases) {
    for (int round = 0; round < 6; ++round) {
      SCOPED_TRACE(std::string(c.Name) + ", round " + std::to_string(round));
      const int clear = 1 << c.CodeSize;
      std::vector<int> codes;
      for (int table = 0; table < 5; ++table) {
        codes.push_back(clear);
        const int length = 300 + static_cast<int>(random() % 1500);
        for (int i = 0; i < length; ++i) codes.push_back(static_cast<int>(random() % (1u << c.Format.PixelBits)));
      }
      codes.push_back(clear + 1);
      for (int damage = round % 3; damage > 0; --damage)  // a table code here and there, defined or not
        codes[1 + random() % (codes.size() - 2)] = clear + 2 + static_cast<int>(random() % 600);
      ExpectAsThePlainDecoder(FrameData(c.CodeSize, codes), c.Format);
    }
  }
}

// A pixel buffer with no spare bytes behind it (BuildFrameDib gives it some)
// makes the decoder take row 0, the buffer's last line, through a row of its
// own: the same pixels, and no byte read past the buffer.
TEST(LzwDecoder, DecodesTheSameWithoutSpareBytes) {
  std::mt19937 random(99);
  for (int round = 0; round < 600; ++round) {
    TRandomFrame frame = MakeDamagedFrame(random);
    frame.Format.PixelBits = 5 + round % 4;  // 8 bits per pixel: below it the rows are the decoder's own
    SCOPED_TRACE("round " + std::to_string(round));
    test::TDecodedFrame expected;
    try {
      expected = DecodeThroughDib(frame.Data, frame.Format);
    } catch (const EReadError&) {
      continue;
    }
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(DibStride(8, frame.Format.Width)) * frame.Format.Height);
    TByteCursor source(frame.Data);
    const bool corrupted = DecodeFrameBits(source, frame.Format, 8, {}, pixels);
    ASSERT_EQ(corrupted, expected.Corrupted);
    const auto expectedPixels = expected.Bitmap.PixelRows();
    ASSERT_TRUE(std::equal(pixels.begin(), pixels.end(), expectedPixels.begin()));
  }
}

}  // namespace
}  // namespace quickintro::gif
