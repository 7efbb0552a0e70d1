// Fuzz target: one frame decode, with and without a progress sink. The first
// 3 bytes choose the frame (width, height, colour bits, interlacing); the
// rest is the compressed data. The bitmap must match the plain reference
// decoder exactly, failures included, both ways; progress must stay in order
// and within 0..100.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "quickintro/gif/graphic_error.h"
#include "tests/quickintro/gif/gif_pieces.h"
#include "tests/quickintro/gif/support/reference_decoder.h"

namespace {

using namespace quickintro::gif;

void Require(bool condition) {
  if (!condition) std::abort();
}

TFrameFormat ChooseFormat(const std::uint8_t* data) {
  TFrameFormat format;
  format.Width = static_cast<std::uint16_t>(data[2] & 0x40 ? 0 : 1 + data[0]);
  format.Height = static_cast<std::uint16_t>(1 + data[1] % 128);
  format.PixelBits = 1 + (data[2] & 7);
  format.Interlaced = (data[2] & 8) != 0;
  return format;
}

// Stages in order, percentages within range and never falling.
DecodeProgressSink CheckedProgress(int& lastStage, int& lastPercent) {
  return [&lastStage, &lastPercent](TProgressStage stage, int percent, const std::string&) {
    Require(stage >= lastStage && percent >= 0 && percent <= 100);
    Require(stage != psRunning || percent >= lastPercent);
    lastStage = stage;
    lastPercent = percent;
  };
}

// The decode, failed or not.
struct TOutcome {
  quickintro::test::TDecodedFrame Frame;
  bool Failed = false;
};

TOutcome Decode(std::span<const std::uint8_t> compressed, const TFrameFormat& format,
                const DecodeProgressSink& progress) {
  TOutcome outcome;
  try {
    outcome.Frame = quickintro::test::DecodeThroughDib(compressed, format, progress);
  } catch (const EReadError&) {
    outcome.Failed = true;
  } catch (const EInvalidGraphicOperation&) {
    outcome.Failed = true;
  }
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const TFrameFormat format = ChooseFormat(data);
  const std::span<const std::uint8_t> compressed(data + 3, size - 3);
  int lastStage = psStarting, lastPercent = 0;
  const TOutcome outcome = Decode(compressed, format, CheckedProgress(lastStage, lastPercent));
  const quickintro::test::TDecodedFrame& frame = outcome.Frame;
  const bool failed = outcome.Failed;
  Require(lastStage == psEnding && lastPercent == (failed ? 0 : 100));
  // Without a progress sink the decoder takes its faster loops: the same
  // outcome, bit for bit.
  const TOutcome quiet = Decode(compressed, format, {});
  Require(quiet.Failed == failed && quiet.Frame.Corrupted == frame.Corrupted && quiet.Frame.Bitmap.File() == frame.Bitmap.File());
  if (compressed.empty() || compressed[0] < 2 || compressed[0] > 9) return Require(failed), 0;

  const std::size_t count = std::size_t{format.Width} * format.Height;
  try {
    const auto reference = quickintro::test::ReferenceDecode(compressed, format.PixelBits, count);
    Require(!failed && frame.Corrupted == reference.Corrupted);
    Require(frame.Image ==
            quickintro::test::PlaceRows(reference.Pixels, format.Width, format.Height, format.Interlaced));
  } catch (const std::runtime_error&) {
    Require(failed);
  }
  return 0;
}
