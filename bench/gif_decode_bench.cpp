// Frame decoding throughput, in megapixels per second: the wizard's decoder
// (compressed data to a bitmap file) against giflib (open, read and decode
// the whole file) on the same generated frames. With --frames-dir=DIR the
// frames are also written there as GIF files, for gif_decode_compare.py to
// time Pillow on the very same bytes.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dib_writer.h"
#include "gif_file_writer.h"
#include "lzw_test_encoder.h"
#include "reference_decoder.h"
#include "test_images.h"

namespace {

using namespace quickintro::gif;

struct BenchFrame {
  std::string name;
  bench::GifFrameFile frame;
  std::vector<std::uint8_t> pixels;  // top-down, as drawn
  std::vector<std::uint8_t> file;    // the whole GIF file
};

BenchFrame MakeFrame(std::string name, int width, int height, int pixelBits, bool interlaced,
                     std::vector<std::uint8_t> pixels) {
  BenchFrame bench{std::move(name), {width, height, pixelBits, interlaced, {}}, std::move(pixels), {}};
  std::vector<std::uint8_t> stream;  // rows in stored order
  const std::vector<int> rows = interlaced ? testing::InterlacedRowOrder(height) : std::vector<int>{};
  for (int i = 0; i < height; ++i) {
    const auto row = bench.pixels.begin() + static_cast<std::ptrdiff_t>(interlaced ? rows[i] : i) * width;
    stream.insert(stream.end(), row, row + width);
  }
  bench.frame.compressed = testing::EncodeFrame(stream, std::max(2, pixelBits));
  bench.file = bench::WriteGifFile(bench.frame);
  return bench;
}

std::vector<BenchFrame> MakeFrames() {
  std::vector<BenchFrame> frames;
  frames.push_back(MakeFrame("photo-393x210", 393, 210, 8, false, testing::PhotoLikeImage(393, 210, 1)));
  frames.push_back(MakeFrame("photo-1024x768", 1024, 768, 8, false, testing::PhotoLikeImage(1024, 768, 2)));
  frames.push_back(MakeFrame("flat-1024x768", 1024, 768, 8, false, testing::FlatImage(1024, 768, 24, 3)));
  frames.push_back(MakeFrame("two-colour-1024x768", 1024, 768, 1, false, testing::FlatImage(1024, 768, 2, 4)));
  frames.push_back(MakeFrame("interlaced-1024x768", 1024, 768, 8, true, testing::PhotoLikeImage(1024, 768, 5)));
  frames.push_back(MakeFrame("photo-4000x3000", 4000, 3000, 8, false, testing::PhotoLikeImage(4000, 3000, 6)));
  return frames;
}

FrameFormat FormatOf(const BenchFrame& bench) {
  return {static_cast<std::uint16_t>(bench.frame.width), static_cast<std::uint16_t>(bench.frame.height),
          bench.frame.pixelBits, bench.frame.interlaced};
}

ColorTableRec TableOf(const BenchFrame& bench) {
  ColorTableRec table;
  table.Count = 1 << bench.frame.pixelBits;
  return table;
}

std::vector<std::uint8_t> DecodeOurs(const BenchFrame& bench) {
  CompressedSource source(bench.frame.compressed);
  std::vector<std::uint8_t> file;
  BuildFrameDib(source, FormatOf(bench), TableOf(bench), {}, file);
  return file;
}

struct MemoryInput {
  const std::vector<std::uint8_t>* bytes;
  std::size_t position;
};

int ReadMemory(GifFileType* gif, GifByteType* into, int length) {
  auto* input = static_cast<MemoryInput*>(gif->UserData);
  const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(length), input->bytes->size() - input->position);
  std::memcpy(into, input->bytes->data() + input->position, count);
  input->position += count;
  return static_cast<int>(count);
}

// giflib's whole-file decode; the raster is handed to check, then freed.
template <typename Check>
bool DecodeGiflib(const BenchFrame& bench, Check check) {
  MemoryInput input{&bench.file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadMemory, &error);
  if (!gif) return false;
  const bool ok = DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1;
  if (ok) check(gif->SavedImages[0].RasterBits);
  DGifCloseFile(gif, &error);
  return ok;
}

// Both decoders must give the drawn pixels before either is timed.
bool CheckFrame(const BenchFrame& bench) {
  const auto file = DecodeOurs(bench);
  const int bits = PickDibDepth(bench.frame.pixelBits);
  const auto ours = testing::ReadBitmapRows(std::span<const std::uint8_t>(file).subspan(kDibHeadersSize + (4u << bits)),
                                            bench.frame.width, bench.frame.height, bits);
  bool giflibSame = false;
  const bool giflibOk = DecodeGiflib(bench, [&](const GifByteType* raster) {
    giflibSame = std::memcmp(raster, bench.pixels.data(), bench.pixels.size()) == 0;
  });
  std::printf("%-22s %9zu pixels, %9zu compressed bytes (%.2f bits a pixel): ours %s, giflib %s\n",
              bench.name.c_str(), bench.pixels.size(), bench.frame.compressed.size(),
              8.0 * bench.frame.compressed.size() / bench.pixels.size(), ours == bench.pixels ? "same" : "DIFFERENT",
              giflibOk && giflibSame ? "same" : "DIFFERENT");
  return ours == bench.pixels && giflibOk && giflibSame;
}

void BenchOurs(benchmark::State& state, const BenchFrame* bench) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodeOurs(*bench));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bench->pixels.size()));
}

void BenchGiflib(benchmark::State& state, const BenchFrame* bench) {
  for (auto _ : state) {
    if (!DecodeGiflib(*bench, [](const GifByteType* raster) { benchmark::DoNotOptimize(raster); })) {
      state.SkipWithError("giflib failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bench->pixels.size()));
}

void WriteFiles(const std::vector<BenchFrame>& frames, const std::string& directory) {
  for (const auto& bench : frames)
    std::ofstream(directory + "/" + bench.name + ".gif", std::ios::binary)
        .write(reinterpret_cast<const char*>(bench.file.data()), static_cast<std::streamsize>(bench.file.size()));
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
    benchmark::RegisterBenchmark(("ours/" + bench.name).c_str(), BenchOurs, &bench);
    benchmark::RegisterBenchmark(("giflib/" + bench.name).c_str(), BenchGiflib, &bench);
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
