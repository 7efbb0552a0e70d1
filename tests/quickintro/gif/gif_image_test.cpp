// The GIF picture reader: block sequences, extensions, transparency and
// colour tables, damaged data, streams, sharing and copies. Files are built
// from named pieces (gif_pieces.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "quickintro/gif/gif_image.h"
#include "tests/quickintro/gif/gif_pieces.h"
#include "quickintro/gif/graphic_error.h"

namespace quickintro::gif {
namespace {

using namespace quickintro::test;
using Lines = std::vector<std::string>;

Bytes Head(const std::string& signature = "GIF89a") { return Cat({Header(signature), Screen(4, 4, 2), Palette(4)}); }
Bytes Small() { return Image({}, {0, 1, 2, 3}); }
Bytes Descriptor(std::uint8_t codeSize) { return {',', 0, 0, 0, 0, 2, 0, 2, 0, 0, codeSize, 1, 0x44, 0}; }

struct TOutcome {
  std::unique_ptr<TGIFImage> Image = std::make_unique<TGIFImage>();
  std::string Failure;  // "EReadError: ..." or "EInvalidGraphicOperation: ..."
  TGIFFrame& Frame(std::size_t i) { return *Image->FrameList.at(i); }
};

// What an action throws, as "EReadError: message" or
// "EInvalidGraphicOperation: message"; empty when it succeeds.
template <typename Action>
std::string FailureOf(Action&& action) {
  try {
    action();
  } catch (const EReadError& failure) {
    return std::string("EReadError: ") + failure.what();
  } catch (const EInvalidGraphicOperation& failure) {
    return std::string("EInvalidGraphicOperation: ") + failure.what();
  }
  return "";
}

TOutcome Parse(const Bytes& file, bool decodeAtOnce = true) {
  TOutcome outcome;
  TByteViewStream stream(file);
  outcome.Failure = FailureOf([&] { outcome.Image->ParseGif(stream, file.size(), decodeAtOnce); });
  return outcome;
}

TEST(GifReader, BlockSequencesGiveTheirFramesOrTheirFailure) {
  const Bytes local = Image({.LocalTableBits = 2});
  const std::string readError = "EReadError: Stream read error";
  const std::string badBlock = "EInvalidGraphicOperation: Stream read error";
  const std::string badVersion = "EInvalidGraphicOperation: Unknown GIF version";
  const struct {
    const char* Name;
    Bytes File;
    std::size_t Frames;
    std::string Failure;
  } cases[] = {
      {"trailer after the header", Cat({Head(), Trailer()}), 0, ""},
      {"zero after the header", Cat({Head(), {0}, Small()}), 0, ""},
      {"no trailer", Cat({Head(), Small(), Small()}), 2, ""},
      {"zeros between images", Cat({Head(), Small(), {0, 0}, Small(), Trailer()}), 2, ""},
      {"stray byte after an image", Cat({Head(), Small(), {'x'}, Small()}), 1, ""},
      {"stray byte after the header", Cat({Head(), {'x'}, Small()}), 0, badBlock},
      {"stray byte after extensions", Cat({Head(), GraphicControl(false, 0), {'x'}, Small()}), 0, badBlock},
      {"stray byte as the last byte", Cat({Head(), {'x'}}), 0, ""},
      {"signature in any case", Cat({Head("gIf87A"), Small()}), 1, ""},
      {"version 90a", Cat({Head("GIF90a"), Small()}), 0, badVersion},
      {"signature GIX", Cat({Head("GIX89a"), Small()}), 0, badVersion},
      {"data shorter than a signature", Header("GIF8"), 0, badVersion},
      {"unknown extension", Cat({Head(), {'!', 0x02, 0}, Small()}), 0,
       "EInvalidGraphicOperation: Unrecognized extension block: 02"},
      {"unknown extension after an image", Cat({Head(), Small(), {'!', 0xAB, 0}}), 1,
       "EInvalidGraphicOperation: Unrecognized extension block: AB"},
      {"image descriptor cut", Cat({Head(), {',', 0, 0, 0}}), 0, readError},
      {"local table cut", Cat({Head(), Bytes(local.begin(), local.begin() + 14)}), 0, readError},
      {"code size byte missing", Cat({Head(), {',', 0, 0, 0, 0, 2, 0, 2, 0, 0}}), 0, readError},
      {"no colour table at all", Cat({Header(), Screen(2, 2), Small()}), 0,
       "EInvalidGraphicOperation: Wrong number of colors; must be a power of 2"},
      {"code size 1", Cat({Head(), Descriptor(1)}), 0,
       "EInvalidGraphicOperation: GIF code size not in range 2 to 9"},
      {"code size 10, then a good frame", Cat({Head(), Descriptor(10), Small()}), 1,
       "EInvalidGraphicOperation: GIF code size not in range 2 to 9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TOutcome outcome = Parse(c.File);
    EXPECT_EQ(outcome.Failure, c.Failure);
    // Frames read before a reading failure stay but none is shown; a first
    // frame that cannot be decoded is removed and the next one shown.
    const bool decoding = c.Failure.find("code size") != std::string::npos;
    EXPECT_EQ(outcome.Image->FrameList.size(), c.Frames);
    EXPECT_EQ(outcome.Image->ShownFrame, (c.Failure.empty() || decoding) && c.Frames > 0 ? 0 : -1);
  }
}

TEST(GifReader, EmptyStoredPictureIsBlankAndDrawsNothing) {
  const Bytes stored = Stored({});
  TByteViewStream stream(stored);
  TGIFImage image;
  image.ReadStoredData(stream);
  EXPECT_TRUE(image.IsBlank());
  EXPECT_EQ(image.PixelWidth() + image.PixelHeight(), 0);
  EXPECT_EQ(image.FrameToDraw().Bitmap, nullptr);
}

TEST(GifReader, DamagedDataNeverFailBeyondTheKnownMessages) {
  // A sub-block that claims more bytes than are left: only whole ones are kept.
  TOutcome cut = Parse(Cat({Head(), {',', 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 200, 1, 2}}));
  EXPECT_EQ(cut.Failure, "");
  EXPECT_TRUE(cut.Frame(0).IsCorrupted);
  EXPECT_EQ(Bytes(cut.Frame(0).PixelData->EncodedData->begin(), cut.Frame(0).PixelData->EncodedData->end()), Bytes{2});

  const Bytes file = Cat({Header(), Screen(9, 7, 2), Palette(4), Loop(3), Comment({"c"}), GraphicControl(true, 1),
                          Image({.Width = 9, .Height = 7, .Interlaced = true}),
                          Image({.Width = 3, .Height = 2, .LocalTableBits = 3}), Trailer()});
  for (std::size_t length = 0; length <= file.size(); ++length) {
    TOutcome outcome = Parse(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
    EXPECT_TRUE(outcome.Failure.empty() || outcome.Failure == "EReadError: Stream read error" ||
                outcome.Failure == "EInvalidGraphicOperation: Unknown GIF version")
        << length << ": " << outcome.Failure;
    for (auto& frame : outcome.Image->FrameList) EXPECT_NO_THROW(frame->FrameBitmap()) << length;
  }
}

TEST(GifReader, CommentsStayWithTheNextImageOrBecomeThePicturesComment) {
  TOutcome outcome = Parse(Cat({Head(), Comment({"note"}), Small(), Comment({"a", "b"}), Comment({"c"}), Trailer()}));
  ASSERT_NE(outcome.Frame(0).FrameComment(), nullptr);
  EXPECT_EQ(*outcome.Frame(0).FrameComment(), Lines{"note"});
  EXPECT_EQ(outcome.Image->Comment(), (Lines{"a", "b", "\r\n\r\n", "c"}));
}

TEST(GifReader, LoopBlocks) {
  const struct {
    Bytes Block;
    bool HasLoop;
    int Count;
  } cases[] = {
      {Loop(0), true, 0},
      {Loop(40000), true, 30000},
      {Application("NETSCAPE2.1", {{1, 5, 0}}), false, 1},
      {Application("NETSCAPE2.0", {{2, 5, 0}}), false, 1},
      {Application("NETSCAPE2.0", {{1, 5}}), false, 1},
  };
  for (const auto& c : cases) {
    TOutcome outcome = Parse(Cat({Head(), c.Block, Small()}));
    EXPECT_EQ(outcome.Image->HasLoopBlock, c.HasLoop) << c.Count;
    EXPECT_EQ(outcome.Image->LoopCount, c.Count);
    EXPECT_TRUE(outcome.Frame(0).ExtensionList.empty());  // application blocks are not kept
  }
}

TEST(GifReader, TransparencyDelayAndDisposalFromGraphicControlBlocks) {
  const struct {
    const char* Name;
    Bytes Before;
    TImageShape Shape;
    std::uint32_t Transparent;
    int DelayMs, Disposal;
  } cases[] = {
      {"index in the table", GraphicControl(true, 3, 7, 2), {}, PaletteColor(3), 70, 2},
      {"index at the table's count", GraphicControl(true, 4), {}, clNone, 0, 0},
      {"index beyond a local table", GraphicControl(true, 3), {.LocalTableBits = 1}, clNone, 0, 0},
      {"block size byte 5, still six bytes", GraphicControl(true, 2, 0, 0, 5), {}, PaletteColor(2), 0, 0},
      {"last block decides, longest delay wins", Cat({GraphicControl(true, 1, 9, 1), GraphicControl(false, 1, 3, 3)}),
       {}, clNone, 90, 3},
      {"plain text drops the block before it", Cat({GraphicControl(true, 1, 4), PlainText()}), {}, clNone, 0, 0},
      {"a block after plain text counts", Cat({PlainText(), GraphicControl(true, 1)}), {}, PaletteColor(1), 0, 0},
      {"delay held at 16 bits", GraphicControl(false, 0, 10000), {}, clNone, 65535, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TOutcome outcome = Parse(Cat({Head(), c.Before, Image(c.Shape)}));
    ASSERT_EQ(outcome.Failure, "");
    EXPECT_EQ(outcome.Frame(0).TransparentRGB, c.Transparent);
    EXPECT_EQ(outcome.Frame(0).DelayMs, c.DelayMs);
    EXPECT_EQ(outcome.Frame(0).DisposalCode, c.Disposal);
  }
}

TEST(GifReader, StoredDataLeaveTheStreamJustBehindThePicture) {
  const struct {
    Bytes Stored;
    std::size_t Position;  // 0: just behind the stored bytes
    bool Fails;
  } cases[] = {
      {Stored(Cat({Head(), Small(), Trailer(), {'j', 'u', 'n', 'k'}})), 0, false},
      {Stored(Cat({Head(), Small()})), 0, false},
      {Stored(Cat({Head(), {'x'}, Small()})), 0, true},
      {Stored({'P', 'N', 'G', 1, 2, 3}), 0, true},
      {Bytes{100, 0, 0, 0, 'G', 'I', 'F'}, 4, true},  // longer than the stream
      {Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'G'}, 4, true},  // negative
  };
  for (const auto& c : cases) {
    Bytes stream = Cat({c.Stored, {',', '!', ';'}});
    TByteViewStream reader(stream);
    TGIFImage image;
    EXPECT_EQ(!FailureOf([&] { image.ReadStoredData(reader); }).empty(), c.Fails) << c.Stored.size();
    EXPECT_EQ(reader.Position(), c.Position ? c.Position : c.Stored.size());
  }
}

TEST(GifPicture, DecodesTheShownFrameOnceAtLoadAndDrawsItTransparentlyOnlyWhereItHasATransparentColour) {
  const Bytes file = Cat({Head(), Small(), GraphicControl(true, 2), Small(), Trailer()});
  TGIFImage image;
  std::vector<int> stages;
  image.OnDecodeProgress = [&](TGIFImage& sender, TProgressStage stage, int percent, const std::string&) {
    stages.push_back(&sender == &image ? stage * 1000 + percent : -1);
  };
  TByteViewStream stream(file);
  image.LoadWholeStream(stream);
  EXPECT_EQ(image.FrameList[1]->BitmapCache, nullptr);  // still compressed
  ASSERT_GE(stages.size(), 3u);
  EXPECT_EQ(stages.front(), psStarting * 1000);
  EXPECT_EQ(stages.back(), psEnding * 1000 + 100);
  const std::size_t notified = stages.size();
  const TBitmap* decoded = &image.FrameList[0]->FrameBitmap();
  EXPECT_EQ(image.PixelWidth(), 2);
  EXPECT_EQ(&image.FrameList[0]->FrameBitmap(), decoded);
  EXPECT_EQ(stages.size(), notified);

  EXPECT_EQ(image.FrameToDraw().Bitmap, decoded);
  EXPECT_EQ(image.FrameToDraw().TransparentColor, clNone);
  image.ShownFrame = 1;
  EXPECT_EQ(image.FrameToDraw().Bitmap, &image.FrameList[1]->FrameBitmap());
  EXPECT_EQ(image.FrameToDraw().TransparentColor, PaletteColor(2));
}

TEST(GifPicture, CopiesShareTheDataAndAreTheSame) {
  const Bytes file = Cat({Head(), Comment({"c"}), Small(), GraphicControl(true, 1), Image({.Left = 1}), Trailer()});
  TOutcome a = Parse(file);
  TGIFImage copy;
  copy.CopyFrom(*a.Image);
  EXPECT_TRUE(copy.SameAs(*a.Image));
  EXPECT_FALSE(Parse(file).Image->SameAs(*a.Image));  // read separately
  ASSERT_EQ(copy.FrameList.size(), 2u);
  EXPECT_EQ(copy.FrameList[1]->PixelData, a.Frame(1).PixelData);
  EXPECT_EQ(copy.FrameList[1]->ParentImage, &copy);
  EXPECT_EQ(copy.FrameList[1]->TransparentRGB, PaletteColor(1));
  EXPECT_EQ(*copy.FrameList[0]->FrameComment(), Lines{"c"});

  int changes = 0;
  a.Image->OnChange = [&] { ++changes; };
  const TGIFFrame* before = &a.Frame(0);
  a.Image->CopyFrom(*a.Image);  // from itself: nothing changes
  EXPECT_EQ(&a.Frame(0), before);
  EXPECT_EQ(changes, 0);

  // From one of its own frames: that frame's data outlive the reset.
  const auto data = a.Frame(1).PixelData;
  a.Image->CopyFrom(a.Frame(1));
  ASSERT_EQ(a.Image->FrameList.size(), 1u);
  EXPECT_EQ(a.Frame(0).PixelData, data);
  EXPECT_EQ(a.Image->ScreenInfo->GlobalTable.Count, 4);
  EXPECT_EQ(a.Image->LogicalWidth, 3);  // left + width
}

TEST(GifPicture, FrameCopyDoesNotKeepABitmapOfItsOldData) {
  TOutcome a = Parse(Cat({Head(), Small(), Image({.Width = 3, .Height = 3})}), false);
  EXPECT_EQ(a.Frame(0).FrameBitmap().Width(), 2);
  a.Frame(0).CopyFrom(a.Frame(1));
  EXPECT_EQ(a.Frame(0).FrameBitmap().Width(), 3);
}

// A file is read whole when it is a regular file, and refused with the
// reason otherwise, before anything is allocated for it.
TEST(GifPicture, LoadFromFileReadsRegularFilesOnly) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "quickintro-load-test";
  std::filesystem::create_directories(folder);
  const Bytes good = Cat({Head(), Small(), Trailer()});
  std::ofstream((folder / "good.gif").string(), std::ios::binary)
      .write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
  const std::string refused = "EInvalidGraphicOperation: ";
  const struct {
    std::string Path;
    std::string Failure;  // empty: loads
  } cases[] = {
      {(folder / "good.gif").string(), ""},
      {folder.string(), refused + folder.string() + ": cannot open: Is a directory"},
      {(folder / "missing.gif").string(), refused + (folder / "missing.gif").string() + ": cannot open: No such file or directory"},
  };
  for (const auto& c : cases) {
    TGIFImage image;
    EXPECT_EQ(FailureOf([&] { image.LoadFromFile(c.Path); }), c.Failure);
    EXPECT_EQ(image.FrameList.size(), c.Failure.empty() ? 1u : 0u);
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quickintro::gif
