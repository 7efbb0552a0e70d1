// Differential test: pictures made by an independent encoder (Pillow, run at
// test time by make_differential_corpus.py), and streams of every valid kind
// made by the test encoder, decode to the same colours, frame by frame and
// pixel by pixel, as giflib gives for them, and the reader reports the same
// frame facts. Native only.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "quickintro/gif/gif_image.h"
#include "tests/quickintro/gif/gif_pieces.h"
#include "tests/quickintro/gif/support/giflib_reader.h"
#include "tests/quickintro/gif/support/test_images.h"

namespace quickintro::gif {
namespace {

namespace fs = std::filesystem;
using test::BitmapPixelColor;
using test::Bytes;

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::uint32_t MapColor(const ColorMapObject& map, int index) {
  const GifColorType& color = map.Colors[index];
  return color.Red | (std::uint32_t{color.Green} << 8) | (std::uint32_t{color.Blue} << 16);
}

std::vector<fs::path> MakeCorpus() {
  const fs::path folder = GIF_DIFFERENTIAL_CORPUS_DIR;
  fs::remove_all(folder);
  const std::string command =
      std::string("/usr/bin/python3 ") + GIF_DIFFERENTIAL_CORPUS_SCRIPT + " " + folder.string() + " >/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".gif") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

// Colours of one frame as the reader decodes them, against giflib's.
void ExpectSameFrame(const SavedImage& expected, const ColorMapObject& map, TGIFImage& image, std::size_t index) {
  const TGIFFrame& frame = image.Frames()[index];
  const GifImageDesc& desc = expected.ImageDesc;
  ASSERT_EQ((std::vector<int>{frame.Left(), frame.Top(), frame.Width(), frame.Height()}),
            (std::vector<int>{desc.Left, desc.Top, desc.Width, desc.Height}));
  EXPECT_EQ(frame.IsInterlaced(), desc.Interlace);
  EXPECT_EQ(ColorCount(frame.FrameTable()), map.ColorCount);
  const TBitmap& bitmap = image.DecodeFrame(index);
  EXPECT_FALSE(frame.IsCorrupted());
  int mismatches = 0;
  for (int y = 0; y < desc.Height; ++y) {
    for (int x = 0; x < desc.Width; ++x) {
      const int index = expected.RasterBits[y * desc.Width + x];
      if (BitmapPixelColor(bitmap, x, y) != MapColor(map, index) && ++mismatches <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y << " index " << index;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

void ExpectSameControl(GifFileType& gif, int index, const ColorMapObject& map, const TGIFFrame& frame) {
  GraphicsControlBlock control{};
  if (DGifSavedExtensionToGCB(&gif, index, &control) != GIF_OK) {
    EXPECT_EQ(frame.TransparentRGB(), clNone);
    return;
  }
  const bool transparent = control.TransparentColor != NO_TRANSPARENT_COLOR && control.TransparentColor < map.ColorCount;
  EXPECT_EQ(frame.TransparentRGB(), transparent ? MapColor(map, control.TransparentColor) : clNone);
  EXPECT_EQ(frame.DelayMs(), control.DelayTime * 10);
  EXPECT_EQ(frame.DisposalCode(), control.DisposalMode);
}

// One picture, read by the wizard's reader and by giflib: the same frames,
// frame facts and colours.
void ExpectSamePicture(const Bytes& file) {
  const test::GifFilePtr gif = test::SlurpWithGiflib(file);
  ASSERT_TRUE(gif) << "giflib cannot read it";
  TGIFImage image = ReadGIFImage(std::make_shared<const Bytes>(file));
  EXPECT_EQ(image.LogicalWidth(), gif->SWidth);
  ASSERT_EQ(image.Frames().size(), static_cast<std::size_t>(gif->ImageCount));
  for (int i = 0; i < gif->ImageCount; ++i) {
    SCOPED_TRACE("frame " + std::to_string(i));
    const SavedImage& expected = gif->SavedImages[i];
    const ColorMapObject* map = expected.ImageDesc.ColorMap ? expected.ImageDesc.ColorMap : gif->SColorMap;
    ASSERT_NE(map, nullptr);
    const auto index = static_cast<std::size_t>(i);
    EXPECT_EQ(image.Frames()[index].OwnTable(), expected.ImageDesc.ColorMap != nullptr);
    ExpectSameFrame(expected, *map, image, index);
    ExpectSameControl(*gif, i, *map, image.Frames()[index]);
  }
}

// Pillow's pictures, and the wizard's own, against giflib.
TEST(GifDifferential, PicturesDecodeAsGiflibDecodesThem) {
  std::vector<fs::path> corpus = MakeCorpus();
  ASSERT_GE(corpus.size(), 30u) << "the corpus script (Pillow, /usr/bin/python3) made too few pictures";
  for (const auto& entry : fs::directory_iterator(GIF_LAYOUT_ART_DIR))
    if (entry.path().extension() == ".gif") corpus.push_back(entry.path());
  for (const fs::path& path : corpus) {
    SCOPED_TRACE(path.filename().string());
    ExpectSamePicture(ReadFile(path));
  }
}

// Valid streams of the kinds other encoders write, made by the test encoder,
// each plain and interlaced, with long strings and with short ones.
struct TStreamKind {
  const char* Name;
  int TableBits, CodeSize;
  test::TEncodeOptions Options;
};

TEST(GifDifferential, StreamsOfEveryValidKindDecodeAsGiflibDecodesThem) {
  const TStreamKind kinds[] = {
      {"no clear code first", 8, 8, {.LeadingClear = false}},
      {"clear codes in a row, at the start and later", 8, 8, {.ClearsInARow = 3, .ClearEvery = 200}},
      {"a clear code every 4 codes", 8, 8, {.ClearEvery = 4}},
      {"clear codes right before the end code", 4, 4, {.ClearsInARow = 2, .ClearBeforeEnd = true}},
      {"code size 4 under a 256-colour table", 8, 4, {}},
      {"code size 2 under a 16-colour table, no clear code first", 4, 2, {.LeadingClear = false, .ClearEvery = 7}},
      {"code size 3 under a 256-colour table, clear codes in a row", 8, 3, {.ClearsInARow = 2, .ClearEvery = 50}},
      {"code size 2 under a 2-colour table", 1, 2, {.ClearEvery = 9}},
  };
  constexpr int kWidth = 61, kHeight = 43;
  for (const auto& kind : kinds) {
    const int colours = 1 << std::min(kind.TableBits, kind.CodeSize);
    for (const bool interlaced : {false, true}) {
      for (const bool flat : {false, true}) {
        SCOPED_TRACE(std::string(kind.Name) + (interlaced ? ", interlaced" : "") + (flat ? ", flat" : ", noise"));
        const Bytes pixels = flat ? test::FlatImage(kWidth, kHeight, colours) : test::NoiseImage(kWidth, kHeight, colours);
        const test::TImageShape shape{.Width = kWidth, .Height = kHeight, .Interlaced = interlaced};
        ExpectSamePicture(test::Cat({test::Header(), test::Screen(kWidth, kHeight, kind.TableBits),
                                     test::Palette(1 << kind.TableBits),
                                     test::Image(shape, pixels, kind.CodeSize, kind.Options),
                                     test::Trailer()}));
      }
    }
  }
}

}  // namespace
}  // namespace quickintro::gif
