// Frame decoding throughput, in megapixels per second: the wizard's decoder
// (compressed data to a bitmap file) against giflib (open, read and decode
// the whole file) on the same generated frames. With --frames-dir=DIR the
// frames are also written there as GIF files, for gif_decode_compare.py to
// time Pillow on the very same bytes.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "quickintro/gif/dib_writer.h"
#include "tests/quickintro/gif/gif_pieces.h"
#include "tests/quickintro/gif/support/giflib_reader.h"
#include "tests/quickintro/gif/support/lzw_test_encoder.h"
#include "tests/quickintro/gif/support/reference_decoder.h"
#include "tests/quickintro/gif/support/test_images.h"

namespace {

using namespace quickintro::gif;

struct TBenchFrame {
  std::string Name;
  TFrameFormat Format;
  std::vector<std::uint8_t> Pixels;      // top-down, as drawn
  std::vector<std::uint8_t> Compressed;  // minimum code size byte and sub-blocks
  std::vector<std::uint8_t> File;        // the whole GIF file around them
};

TBenchFrame MakeFrame(std::string name, int width, int height, int pixelBits, bool interlaced,
                      std::vector<std::uint8_t> pixels) {
  TBenchFrame bench{std::move(name),
                    {static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), pixelBits, interlaced},
                    std::move(pixels), {}, {}};
  const std::vector<std::uint8_t> stream = test::InStreamOrder(bench.Pixels, width, height, interlaced);
  bench.Compressed = test::EncodeFrame(stream, std::max(2, pixelBits));
  bench.File = test::Cat({test::Header(), test::Screen(width, height, pixelBits),
                          test::Palette(1 << pixelBits),
                          test::ImageDescriptor({.Width = width, .Height = height, .Interlaced = interlaced}),
                          bench.Compressed, test::Trailer()});
  return bench;
}

std::vector<TBenchFrame> MakeFrames() {
  std::vector<TBenchFrame> frames;
  frames.push_back(MakeFrame("photo-393x210", 393, 210, 8, false, test::PhotoLikeImage(393, 210, 1)));
  frames.push_back(MakeFrame("photo-1024x768", 1024, 768, 8, false, test::PhotoLikeImage(1024, 768, 2)));
  frames.push_back(MakeFrame("flat-1024x768", 1024, 768, 8, false, test::FlatImage(1024, 768, 24, 3)));
  frames.push_back(MakeFrame("two-colour-1024x768", 1024, 768, 1, false, test::FlatImage(1024, 768, 2, 4)));
  frames.push_back(MakeFrame("interlaced-1024x768", 1024, 768, 8, true, test::PhotoLikeImage(1024, 768, 5)));
  frames.push_back(MakeFrame("photo-4000x3000", 4000, 3000, 8, false, test::PhotoLikeImage(4000, 3000, 6)));
  return frames;
}

TColorTableRec TableOf(const TBenchFrame& bench) {
  TColorTableRec table;
  table.Count = 1 << bench.Format.PixelBits;
  return table;
}

std::vector<std::uint8_t> DecodeOurs(const TBenchFrame& bench) {
  TCompressedSource source(bench.Compressed);
  std::vector<std::uint8_t> file;
  BuildFrameDib(source, bench.Format, TableOf(bench), {}, file);
  return file;
}

// giflib's whole-file decode; the raster is handed to check, then freed.
template <typename Check>
bool DecodeGiflib(const TBenchFrame& bench, Check check) {
  const test::GifFilePtr gif = test::SlurpWithGiflib(bench.File);
  const bool ok = gif && gif->ImageCount == 1;
  if (ok) check(gif->SavedImages[0].RasterBits);
  return ok;
}

// Both decoders must give the drawn pixels before either is timed.
bool CheckFrame(const TBenchFrame& bench) {
  const auto ours = test::ReadBitmapRows(DecodeOurs(bench));
  bool giflibSame = false;
  const bool giflibOk = DecodeGiflib(bench, [&](const GifByteType* raster) {
    giflibSame = std::memcmp(raster, bench.Pixels.data(), bench.Pixels.size()) == 0;
  });
  std::printf("%-22s %9zu pixels, %9zu compressed bytes (%.2f bits a pixel): ours %s, giflib %s\n",
              bench.Name.c_str(), bench.Pixels.size(), bench.Compressed.size(),
              8.0 * bench.Compressed.size() / bench.Pixels.size(), ours == bench.Pixels ? "same" : "DIFFERENT",
              giflibOk && giflibSame ? "same" : "DIFFERENT");
  return ours == bench.Pixels && giflibOk && giflibSame;
}

void BenchOurs(benchmark::State& state, const TBenchFrame* bench) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodeOurs(*bench));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bench->Pixels.size()));
}

void BenchGiflib(benchmark::State& state, const TBenchFrame* bench) {
  for (auto _ : state) {
    if (!DecodeGiflib(*bench, [](const GifByteType* raster) { benchmark::DoNotOptimize(raster); })) {
      state.SkipWithError("giflib failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bench->Pixels.size()));
}

void WriteFiles(const std::vector<TBenchFrame>& frames, const std::string& directory) {
  for (const auto& bench : frames)
    std::ofstream(directory + "/" + bench.Name + ".gif", std::ios::binary)
        .write(reinterpret_cast<const char*>(bench.File.data()), static_cast<std::streamsize>(bench.File.size()));
}

}  // namespace

int main(int argc, char** argv) {
  std::string framesDirectory;
  std::vector<char*> arguments;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--frames-dir=", 13) == 0)
      framesDirectory = argv[i] + 13;
    else
      arguments.push_back(argv[i]);
  }
  const auto frames = MakeFrames();
  bool same = true;
  for (const auto& bench : frames) same = CheckFrame(bench) && same;
  if (!same) return 1;
  if (!framesDirectory.empty()) WriteFiles(frames, framesDirectory);
  for (const auto& bench : frames) {
    benchmark::RegisterBenchmark(("ours/" + bench.Name).c_str(), BenchOurs, &bench);
    benchmark::RegisterBenchmark(("giflib/" + bench.Name).c_str(), BenchGiflib, &bench);
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
