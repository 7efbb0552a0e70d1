// Frame decoding throughput, in megapixels per second: the wizard's decoder
// (the first frame's compressed data to its bitmap file) against giflib (open,
// read and decode the whole file) and, when built with it, Wuffs (the first
// frame's colour-table indices), on the same GIF files, written by other
// programs (make_bench_frames.py). Before anything is timed, every decoder's
// indices must equal giflib's.
//
//   gif_decode_bench FRAME.gif... [--benchmark_...]

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "quickintro/gif/dib_writer.h"
#include "quickintro/gif/gif_image.h"
#include "tests/quickintro/gif/support/giflib_reader.h"
#include "tests/quickintro/gif/support/reference_decoder.h"

#ifdef ZARA_WITH_WUFFS
#include "bench/wuffs_peer.h"
#endif

namespace {

using namespace quickintro::gif;
using Bytes = std::vector<std::uint8_t>;

struct TBenchFrame {
  std::string Name;
  std::shared_ptr<const Bytes> File;  // the whole GIF file
  std::span<const std::uint8_t> Compressed;  // the first frame's code size byte and sub-blocks
  TFrameFormat Format;
  ColorTable Table;
};

TBenchFrame ReadFrame(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  auto file = std::make_shared<const Bytes>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  const TGIFReading reading = ReadGIFFrames(file, *file);
  if (reading.Image.Frames().empty()) throw std::runtime_error(path.string() + ": no frame");
  const TGIFFrame& frame = reading.Image.Frames()[0];
  return {path.stem().string(),
          file,
          frame.EncodedData(),
          {static_cast<std::uint16_t>(frame.Width()), static_cast<std::uint16_t>(frame.Height()), frame.PixelBits(),
           frame.IsInterlaced()},
          frame.FrameTable()};
}

TBitmap DecodeOurs(const TBenchFrame& bench) {
  quickintro::TByteCursor source(bench.Compressed);
  return BuildFrameDib(source, bench.Format, bench.Table, {}).Bitmap;
}

// giflib's whole-file decode; the raster (top-down indices) is handed to
// check, then freed.
template <typename Check>
bool DecodeGiflib(const TBenchFrame& bench, Check check) {
  const quickintro::test::GifFilePtr gif = quickintro::test::SlurpWithGiflib(*bench.File);
  const bool ok = gif && gif->ImageCount >= 1;
  if (ok) check(gif->SavedImages[0].RasterBits);
  return ok;
}

#ifdef ZARA_WITH_WUFFS
struct TWuffsDecoder {
  std::unique_ptr<TWuffsPeer, decltype(&WuffsPeerFree)> Peer{WuffsPeerNew(), WuffsPeerFree};
  Bytes Buffer;  // the palette, then the indices

  explicit TWuffsDecoder(const TBenchFrame& bench) {
    std::uint32_t width = 0, height = 0;
    if (!WuffsPeerSize(Peer.get(), bench.File->data(), bench.File->size(), &width, &height)) return;
    Buffer.resize(kWuffsPaletteBytes + std::size_t{width} * height);
  }
  const char* Decode(const TBenchFrame& bench) {
    return WuffsPeerDecode(Peer.get(), bench.File->data(), bench.File->size(), Buffer.data(), Buffer.size());
  }
  std::span<const std::uint8_t> Indices() const { return std::span(Buffer).subspan(kWuffsPaletteBytes); }
};
#endif

// Every decoder must give giflib's indices before any is timed.
bool CheckFrame(const TBenchFrame& bench) {
  const std::size_t count = std::size_t{bench.Format.Width} * bench.Format.Height;
  Bytes expected;
  const bool giflibOk =
      DecodeGiflib(bench, [&](const GifByteType* raster) { expected.assign(raster, raster + count); });
  const bool oursSame = giflibOk && quickintro::test::ReadBitmapRows(DecodeOurs(bench)) == expected;
  std::string wuffs = "not built in";
#ifdef ZARA_WITH_WUFFS
  TWuffsDecoder decoder(bench);
  const char* failure = decoder.Decode(bench);
  const bool wuffsSame = giflibOk && !failure && decoder.Indices().size() == count &&
                         std::equal(expected.begin(), expected.end(), decoder.Indices().begin());
  wuffs = failure ? std::string("failed: ") + failure : wuffsSame ? "same" : "DIFFERENT";
#else
  const bool wuffsSame = true;
#endif
  std::printf("%-22s %9zu pixels, %8zu compressed bytes (%.2f bits a pixel): ours %s, Wuffs %s\n", bench.Name.c_str(),
              count, bench.Compressed.size(),
              8.0 * static_cast<double>(bench.Compressed.size()) / static_cast<double>(count),
              !giflibOk ? "(giflib cannot read it)" : oursSame ? "same as giflib" : "DIFFERENT", wuffs.c_str());
  return oursSame && wuffsSame;
}

void SetPixelRate(benchmark::State& state, const TBenchFrame& bench) {
  state.SetItemsProcessed(state.iterations() * std::int64_t{bench.Format.Width} * bench.Format.Height);
}

void BenchOurs(benchmark::State& state, const TBenchFrame* bench) {
  for (auto _ : state) benchmark::DoNotOptimize(DecodeOurs(*bench));
  SetPixelRate(state, *bench);
}

void BenchGiflib(benchmark::State& state, const TBenchFrame* bench) {
  for (auto _ : state) {
    if (!DecodeGiflib(*bench, [](const GifByteType* raster) { benchmark::DoNotOptimize(raster); })) {
      state.SkipWithError("giflib failed");
      break;
    }
  }
  SetPixelRate(state, *bench);
}

#ifdef ZARA_WITH_WUFFS
void BenchWuffs(benchmark::State& state, const TBenchFrame* bench) {
  TWuffsDecoder decoder(*bench);  // allocated once, outside the timed loop
  for (auto _ : state) {
    if (decoder.Decode(*bench)) {
      state.SkipWithError("Wuffs failed");
      break;
    }
    benchmark::DoNotOptimize(decoder.Buffer.data());
    benchmark::ClobberMemory();
  }
  SetPixelRate(state, *bench);
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::vector<TBenchFrame> frames;
  std::vector<char*> arguments{argv[0]};
  try {
    for (int i = 1; i < argc; ++i) {
      if (std::strncmp(argv[i], "--", 2) == 0)
        arguments.push_back(argv[i]);
      else
        frames.push_back(ReadFrame(argv[i]));
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "gif_decode_bench: %s\n", failure.what());
    return 1;
  }
  if (frames.empty()) {
    std::fprintf(stderr, "usage: gif_decode_bench FRAME.gif... [--benchmark_...]\n");
    return 2;
  }
  bool same = true;
  for (const auto& bench : frames) same = CheckFrame(bench) && same;
  if (!same) return 1;
  for (const auto& bench : frames) {
    benchmark::RegisterBenchmark(("ours/" + bench.Name).c_str(), BenchOurs, &bench);
#ifdef ZARA_WITH_WUFFS
    benchmark::RegisterBenchmark(("wuffs/" + bench.Name).c_str(), BenchWuffs, &bench);
#endif
    benchmark::RegisterBenchmark(("giflib/" + bench.Name).c_str(), BenchGiflib, &bench);
  }
  int count = static_cast<int>(arguments.size());
  benchmark::Initialize(&count, arguments.data());
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
