// The GIF picture reader: its one door, block sequences, extensions,
// transparency and colour tables, damaged data, the stored form, copies, and
// a picture that keeps its file once. Files are built from named pieces
// (gif_pieces.h).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quickintro/gif/gif_image.h"
#include "tests/quickintro/gif/gif_pieces.h"

namespace quickintro::gif {
namespace {

using namespace quickintro::test;
using Lines = std::vector<std::string>;

Bytes Head(const std::string& signature = "GIF89a") { return Cat({Header(signature), Screen(4, 4, 2), Palette(4)}); }
Bytes Small() { return Image({}, {0, 1, 2, 3}); }
Bytes Descriptor(std::uint8_t codeSize) { return {',', 0, 0, 0, 0, 2, 0, 2, 0, 0, codeSize, 1, 0x44, 0}; }

// Through the door: the picture, or why it cannot be read.
std::string DoorFailure(const Bytes& file) {
  return FailureOf([&] { ReadGIFImage(std::make_shared<const Bytes>(file)); });
}

TEST(GifReader, BlockSequencesGiveTheirFramesOrTheirFailure) {
  const Bytes local = Image({.LocalTableBits = 2});
  const std::string readError = "EReadError: Stream read error";
  const std::string badBlock = "EInvalidGraphicOperation: Stream read error";
  const std::string badVersion = "EInvalidGraphicOperation: Unknown GIF version";
  const char* codeSize = "EInvalidGraphicOperation: GIF code size not in range 2 to 9";
  const std::string unknown = "EInvalidGraphicOperation: Unrecognized extension block: ";
  const struct {
    const char* Name;
    Bytes File;
    std::size_t Frames;
    std::string Failure;  // of the reading, and of the door unless DoorFailure differs
    const char* DoorFailure = nullptr;
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
      {"unknown extension", Cat({Head(), {'!', 0x02, 0}, Small()}), 0, unknown + "02"},
      {"unknown extension after an image", Cat({Head(), Small(), {'!', 0xAB, 0}}), 1, unknown + "AB"},
      {"image descriptor cut", Cat({Head(), {',', 0, 0, 0}}), 0, readError},
      {"local table cut", Cat({Head(), Bytes(local.begin(), local.begin() + 14)}), 0, readError},
      {"code size byte missing", Cat({Head(), {',', 0, 0, 0, 0, 2, 0, 2, 0, 0}}), 0, readError},
      {"no colour table at all", Cat({Header(), Screen(2, 2), Small()}), 1, "",
       "EInvalidGraphicOperation: Wrong number of colors; must be a power of 2"},
      {"code size 1", Cat({Head(), Descriptor(1)}), 1, "", codeSize},
      {"code size 10, then a good frame", Cat({Head(), Descriptor(10), Small()}), 2, "", codeSize},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TGIFReading reading = ReadPieces(c.File);
    EXPECT_EQ(FailureText(reading.Failure), c.Failure);
    // Frames read before a failure stay, but none is shown.
    EXPECT_EQ(reading.Image.Frames().size(), c.Frames);
    EXPECT_EQ(reading.Image.ShownFrame(), c.Failure.empty() && c.Frames > 0 ? 0 : -1);
    EXPECT_EQ(DoorFailure(c.File), c.DoorFailure ? c.DoorFailure : c.Failure);
  }
}

// The door decodes the shown frame, and only that one, once; nothing that
// measures or draws decodes.
TEST(GifReader, TheDoorAnswersThePictureWithItsShownFrameDecoded) {
  const auto file = std::make_shared<const Bytes>(Cat({Head(), GraphicControl(true, 2), Small(), Small(), Trailer()}));
  TGIFImage image = ReadGIFImage(file);
  ASSERT_EQ(image.Frames().size(), 2u);
  const TBitmap* shown = image.Frames()[0].Bitmap();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(image.Frames()[1].Bitmap(), nullptr);
  EXPECT_EQ(image.FrameToDraw().Bitmap, shown);
  EXPECT_EQ(image.FrameToDraw().TransparentColor, PaletteColor(2));
  EXPECT_EQ(image.PixelWidth() * 10 + image.PixelHeight(), 22);
  EXPECT_EQ(BitmapPixelColor(*shown, 1, 1), PaletteColor(3));

  std::vector<int> stages;
  const DecodeProgressSink progress = [&](TProgressStage stage, int percent, const std::string&) {
    stages.push_back(stage * 1000 + percent);
  };
  EXPECT_EQ(&image.DecodeFrame(0, progress), shown);  // kept: not decoded again
  EXPECT_TRUE(stages.empty());
  image.DecodeFrame(1, progress);
  ASSERT_GE(stages.size(), 3u);
  EXPECT_EQ(stages.front(), psStarting * 1000);
  EXPECT_EQ(stages.back(), psEnding * 1000 + 100);

  const TGIFImage empty = ReadGIFImage(std::make_shared<const Bytes>());
  EXPECT_TRUE(empty.IsBlank());
  EXPECT_EQ(empty.PixelWidth() + empty.PixelHeight(), 0);
  EXPECT_EQ(empty.FrameToDraw().Bitmap, nullptr);
}

TEST(GifReader, DamagedDataNeverFailBeyondTheKnownMessages) {
  // A sub-block that claims more bytes than are left: only whole ones are kept.
  const TGIFReading cut = ReadPieces(Cat({Head(), {',', 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 200, 1, 2}}));
  ASSERT_EQ(cut.Image.Frames().size(), 1u);
  EXPECT_TRUE(cut.Image.Frames()[0].IsCorrupted());
  EXPECT_EQ(Bytes(cut.Image.Frames()[0].EncodedData().begin(), cut.Image.Frames()[0].EncodedData().end()), Bytes{2});

  const Bytes file = Cat({Header(), Screen(9, 7, 2), Palette(4), Loop(3), Comment({"c"}), GraphicControl(true, 1),
                          Image({.Width = 9, .Height = 7, .Interlaced = true}),
                          Image({.Width = 3, .Height = 2, .LocalTableBits = 3}), Trailer()});
  for (std::size_t length = 0; length <= file.size(); ++length) {
    TGIFReading reading = ReadPieces(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
    const std::string failure = FailureText(reading.Failure);
    EXPECT_TRUE(failure.empty() || failure == "EReadError: Stream read error" ||
                failure == "EInvalidGraphicOperation: Unknown GIF version")
        << length << ": " << failure;
    for (std::size_t i = 0; i < reading.Image.Frames().size(); ++i)
      EXPECT_NO_THROW(reading.Image.DecodeFrame(i)) << length;
  }
}

TEST(GifReader, CommentsStayWithTheNextImageOrBecomeThePicturesComment) {
  const TGIFReading reading = ReadPieces(Cat({Head(), Comment({"note"}), GraphicControl(false, 0), Small(),
                                              Comment({}), Comment({"a", "b"}), Comment({"c"}), Trailer()}));
  const TGIFFrame& frame = reading.Image.Frames()[0];
  EXPECT_EQ(frame.FrameComment(), Lines{"note"});
  ASSERT_EQ(frame.Extensions().size(), 2u);
  EXPECT_EQ(frame.Extensions()[1].Kind, GraphicControlKind);
  EXPECT_EQ(reading.Image.Comment(), (Lines{"a", "b", "\r\n\r\n", "c"}));
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
    const TGIFReading reading = ReadPieces(Cat({Head(), c.Block, Small()}));
    EXPECT_EQ(reading.Image.HasLoopBlock(), c.HasLoop) << c.Count;
    EXPECT_EQ(reading.Image.LoopCount(), c.Count);
    EXPECT_TRUE(reading.Image.Frames()[0].Extensions().empty());  // application blocks are not kept
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
    const TGIFReading reading = ReadPieces(Cat({Head(), c.Before, Image(c.Shape)}));
    ASSERT_EQ(FailureText(reading.Failure), "");
    const TGIFFrame& frame = reading.Image.Frames()[0];
    EXPECT_EQ(frame.TransparentRGB(), c.Transparent);
    EXPECT_EQ(frame.DelayMs(), c.DelayMs);
    EXPECT_EQ(frame.DisposalCode(), c.Disposal);
  }
}

TEST(GifReader, StoredDataLeaveTheCursorJustBehindThePicture) {
  const struct {
    Bytes Stored;
    std::size_t Position;  // 0: just behind the stored bytes
    bool Fails;
  } cases[] = {
      {Stored(Cat({Head(), Small(), Trailer(), {'j', 'u', 'n', 'k'}})), 0, false},
      {Stored(Cat({Head(), Small()})), 0, false},
      {Stored(Cat({Head(), {'x'}, Small()})), 0, true},
      {Stored({'P', 'N', 'G', 1, 2, 3}), 0, true},
      {Stored({}), 0, false},
      {Bytes{100, 0, 0, 0, 'G', 'I', 'F'}, 4, true},  // longer than the data
      {Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'G'}, 4, true},  // negative
  };
  for (const auto& c : cases) {
    const auto data = std::make_shared<const Bytes>(Cat({c.Stored, {',', '!', ';'}}));
    TByteCursor stored(*data);
    const TGIFReading reading = ReadStoredGIF(data, stored);
    EXPECT_EQ(reading.Failure != nullptr, c.Fails) << c.Stored.size();
    EXPECT_EQ(stored.Position(), c.Position ? c.Position : c.Stored.size());
  }
}

// Copies, of a picture or of one frame, share the file's bytes and the
// decoded frames.
TEST(GifReader, CopiesShareTheDataAndAreTheSame) {
  const Bytes file = Cat({Head(), Comment({"c"}), Small(), GraphicControl(true, 1), Image({.Left = 1}), Trailer()});
  const TGIFImage a = ReadGIFImage(std::make_shared<const Bytes>(file));
  const TGIFImage copy = a;
  EXPECT_TRUE(copy.SameAs(a));
  EXPECT_FALSE(ReadGIFImage(std::make_shared<const Bytes>(file)).SameAs(a));  // read separately
  ASSERT_EQ(copy.Frames().size(), 2u);
  EXPECT_EQ(copy.Frames()[0].Bitmap(), a.Frames()[0].Bitmap());
  EXPECT_EQ(copy.Frames()[1].EncodedData().data(), a.Frames()[1].EncodedData().data());
  EXPECT_EQ(copy.Frames()[1].TransparentRGB(), PaletteColor(1));
  EXPECT_EQ(copy.Frames()[0].FrameComment(), Lines{"c"});

  const TGIFImage single = TGIFImage::OfFrame(a, 1);
  EXPECT_FALSE(single.SameAs(a));
  ASSERT_EQ(single.Frames().size(), 1u);
  EXPECT_EQ(single.ShownFrame(), 0);
  EXPECT_EQ(single.Frames()[0].EncodedData().data(), a.Frames()[1].EncodedData().data());
  EXPECT_EQ(ColorCount(single.ScreenInfo().GlobalTable), 4);
  EXPECT_EQ(single.LogicalWidth(), 3);  // left + width
}

// However many frames a file has, the picture holds its bytes once: frames,
// their colour tables and comments are views of them, and frames without a
// table of their own share the global one.
TEST(GifReader, APictureKeepsItsFileOnce) {
  const auto file = std::make_shared<const Bytes>(Cat({Head(), Comment({"c"}), Small(),
                                                       Image({.LocalTableBits = 1}), Small(), Trailer()}));
  const TGIFImage image = ReadGIFImage(file);
  const auto within = [&](std::span<const std::uint8_t> view) {
    return view.data() >= file->data() && view.data() + view.size() <= file->data() + file->size();
  };
  ASSERT_EQ(image.Frames().size(), 3u);
  for (const TGIFFrame& frame : image.Frames()) {
    EXPECT_TRUE(within(frame.EncodedData()));
    EXPECT_TRUE(within(frame.FrameTable()));
    EXPECT_EQ(frame.FrameTable().data() == image.ScreenInfo().GlobalTable.data(), !frame.OwnTable());
  }
  EXPECT_TRUE(within(image.ScreenInfo().GlobalTable));
  EXPECT_EQ(image.ScreenInfo().File, file);
}

}  // namespace
}  // namespace quickintro::gif
