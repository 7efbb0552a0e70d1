// Differential test: pictures made by an independent encoder (Pillow, run at
// test time by make_differential_corpus.py) decode to the same colours, frame
// by frame and pixel by pixel, as giflib gives for them, and the reader
// reports the same frame facts. Native only.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gif_image.h"
#include "gif_pieces.h"

namespace quickintro::gif {
namespace {

namespace fs = std::filesystem;
using testing::BitmapPixelColor;

struct GifFileCloser {
  void operator()(GifFileType* file) const {
    int error = 0;
    DGifCloseFile(file, &error);
  }
};
using GifFilePtr = std::unique_ptr<GifFileType, GifFileCloser>;

GifFilePtr OpenWithGiflib(const fs::path& path) {
  int error = 0;
  GifFilePtr file(DGifOpenFileName(path.c_str(), &error));
  if (!file) return nullptr;
  if (DGifSlurp(file.get()) != GIF_OK) return nullptr;
  return file;
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
void ExpectSameFrame(const SavedImage& expected, const ColorMapObject& map, TGIFFrame& frame) {
  const GifImageDesc& desc = expected.ImageDesc;
  ASSERT_EQ((std::vector<int>{frame.Left, frame.Top, frame.PixelData->FrameWidth, frame.PixelData->FrameHeight}),
            (std::vector<int>{desc.Left, desc.Top, desc.Width, desc.Height}));
  EXPECT_EQ(frame.IsInterlaced, desc.Interlace);
  EXPECT_EQ(frame.PixelData->FrameTable.Count, map.ColorCount);
  const auto& file = frame.FrameBitmap().File();
  EXPECT_FALSE(frame.IsCorrupted);
  int mismatches = 0;
  for (int y = 0; y < desc.Height; ++y) {
    for (int x = 0; x < desc.Width; ++x) {
      const int index = expected.RasterBits[y * desc.Width + x];
      if (BitmapPixelColor(file, x, y) != MapColor(map, index) && ++mismatches <= 3)
        ADD_FAILURE() << "pixel " << x << "," << y << " index " << index;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

void ExpectSameControl(GifFileType& gif, int index, const ColorMapObject& map, const TGIFFrame& frame) {
  GraphicsControlBlock control{};
  if (DGifSavedExtensionToGCB(&gif, index, &control) != GIF_OK) {
    EXPECT_EQ(frame.TransparentRGB, clNone);
    return;
  }
  const bool transparent = control.TransparentColor != NO_TRANSPARENT_COLOR && control.TransparentColor < map.ColorCount;
  EXPECT_EQ(frame.TransparentRGB, transparent ? MapColor(map, control.TransparentColor) : clNone);
  EXPECT_EQ(frame.DelayMs, control.DelayTime * 10);
  EXPECT_EQ(frame.DisposalCode, control.DisposalMode);
}

// Pillow's pictures, and the wizard's own, against giflib.
TEST(GifDifferential, PicturesDecodeAsGiflibDecodesThem) {
  std::vector<fs::path> corpus = MakeCorpus();
  ASSERT_GE(corpus.size(), 30u) << "the corpus script (Pillow, /usr/bin/python3) made too few pictures";
  for (const auto& entry : fs::directory_iterator(GIF_LAYOUT_ART_DIR))
    if (entry.path().extension() == ".gif") corpus.push_back(entry.path());
  for (const fs::path& path : corpus) {
    SCOPED_TRACE(path.filename().string());
    GifFilePtr gif = OpenWithGiflib(path);
    ASSERT_TRUE(gif) << "giflib cannot read it";
    TGIFImage image;
    image.LoadFromFile(path.string());
    EXPECT_EQ(image.LogicalWidth, gif->SWidth);
    ASSERT_EQ(image.FrameList.size(), static_cast<std::size_t>(gif->ImageCount));
    for (int i = 0; i < gif->ImageCount; ++i) {
      SCOPED_TRACE("frame " + std::to_string(i));
      const SavedImage& expected = gif->SavedImages[i];
      const ColorMapObject* map = expected.ImageDesc.ColorMap ? expected.ImageDesc.ColorMap : gif->SColorMap;
      ASSERT_NE(map, nullptr);
      TGIFFrame& frame = *image.FrameList[static_cast<std::size_t>(i)];
      EXPECT_EQ(frame.OwnTable, expected.ImageDesc.ColorMap != nullptr);
      ExpectSameFrame(expected, *map, frame);
      ExpectSameControl(*gif, i, *map, frame);
    }
  }
}

}  // namespace
}  // namespace quickintro::gif
