// The GIF picture reader: block sequences, header and extension rules,
// transparency and colour tables, damaged data, sharing and copies, the
// picture operations. Files are built from named pieces (gif_pieces.h).

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gif_image.h"
#include "gif_pieces.h"
#include "graphic_error.h"

namespace quickintro::gif {
namespace {

using namespace quickintro::gif::testing;

// A 4 x 4 screen with a 4-colour global table, and a 2 x 2 image.
Bytes GlobalHeader(const std::string& signature = "GIF89a") {
  return Cat({Header(signature), Screen(4, 4, 2), Palette(4)});
}
Bytes SmallImage() { return Image({}, {0, 1, 2, 3}); }

enum class Failure { None, ReadError, InvalidOperation };

struct Outcome {
  std::unique_ptr<TGIFImage> image = std::make_unique<TGIFImage>();
  Failure failure = Failure::None;
  std::string message;
};

Outcome Parse(const Bytes& file, bool decodeAtOnce = true) {
  Outcome outcome;
  TByteViewStream stream(file);
  try {
    outcome.image->ParseGif(stream, file.size(), decodeAtOnce);
  } catch (const EReadError& failure) {
    outcome.failure = Failure::ReadError;
    outcome.message = failure.what();
  } catch (const EInvalidGraphicOperation& failure) {
    outcome.failure = Failure::InvalidOperation;
    outcome.message = failure.what();
  }
  return outcome;
}

class RecordingCanvas final : public TCanvas {
 public:
  struct Call {
    DrawRect rect;
    bool transparent;
    std::uint32_t color;
    std::int32_t width;
  };
  void StretchDraw(const DrawRect& rect, const TBitmap& bitmap) override {
    calls.push_back({rect, false, clNone, bitmap.Width()});
  }
  void TransparentStretchDraw(const DrawRect& rect, const TBitmap& bitmap, std::uint32_t color) override {
    calls.push_back({rect, true, color, bitmap.Width()});
  }
  std::vector<Call> calls;
};

struct StructureCase {
  const char* name;
  Bytes file;
  std::size_t frames;
  Failure failure = Failure::None;
  const char* message = "";
};

TEST(GifReaderBlocks, SequencesOfBlocksGiveTheirFramesOrTheirFailure) {
  const Bytes image = SmallImage();
  const Bytes withLocalTable = Image({.localTableBits = 2});
  const Bytes cutLocalTable(withLocalTable.begin(), withLocalTable.begin() + 14);
  const std::vector<StructureCase> cases = {
      {"trailer right after the header", Cat({GlobalHeader(), Trailer()}), 0},
      {"zero byte right after the header", Cat({GlobalHeader(), {0}, image}), 0},
      {"two images and the trailer", Cat({GlobalHeader(), image, image, Trailer()}), 2},
      {"no trailer after the last image", Cat({GlobalHeader(), image, image}), 2},
      {"zero bytes between images", Cat({GlobalHeader(), image, {0, 0, 0}, image, Trailer()}), 2},
      {"stray byte after an image ends quietly", Cat({GlobalHeader(), image, {'x'}, image, Trailer()}), 1},
      {"stray byte right after the header", Cat({GlobalHeader(), {'x'}, image, Trailer()}), 0,
       Failure::InvalidOperation, "Stream read error"},
      {"stray byte after extension blocks", Cat({GlobalHeader(), GraphicControl(false, 0), {'x'}, image}), 0,
       Failure::InvalidOperation, "Stream read error"},
      {"stray byte as the last byte of the data", Cat({GlobalHeader(), {'x'}}), 0},
      {"comment and graphic control before the trailer", Cat({GlobalHeader(), Comment({"c"}), Trailer()}), 0},
      {"unknown extension label", Cat({GlobalHeader(), {'!', 0x02, 0}, image}), 0, Failure::InvalidOperation,
       "Unrecognized extension block: 02"},
      {"unknown label in upper-case hex, after an image", Cat({GlobalHeader(), image, {'!', 0xAB, 0}, image}), 1,
       Failure::InvalidOperation, "Unrecognized extension block: AB"},
      {"image descriptor cut short", Cat({GlobalHeader(), {',', 0, 0, 0}}), 0, Failure::ReadError,
       "Stream read error"},
      {"local colour table cut short", Cat({GlobalHeader(), cutLocalTable}), 0, Failure::ReadError,
       "Stream read error"},
      {"minimum code size missing", Cat({GlobalHeader(), {',', 0, 0, 0, 0, 2, 0, 2, 0, 0}}), 0, Failure::ReadError,
       "Stream read error"},
  };
  for (const StructureCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Parse(c.file);
    EXPECT_EQ(outcome.failure, c.failure);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_EQ(outcome.image->FrameList.size(), c.frames);
    // Frames read before a failure stay, but none is shown.
    const int shown = c.frames > 0 && c.failure == Failure::None ? 0 : -1;
    EXPECT_EQ(outcome.image->ShownFrame, shown);
  }
}

TEST(GifReaderBlocks, EmptyStoredPictureIsBlankAndDrawsNothing) {
  TGIFImage image;
  int changes = 0;
  image.OnChange = [&] { ++changes; };
  const Bytes stored = Stored({});
  TByteViewStream stream(stored);
  image.ReadStoredData(stream);
  RecordingCanvas canvas;
  image.DrawInto(canvas, {0, 0, 10, 10});
  EXPECT_TRUE(image.FrameList.empty());
  EXPECT_TRUE(image.IsBlank());
  EXPECT_EQ(image.PixelWidth(), 0);
  EXPECT_EQ(image.PixelHeight(), 0);
  EXPECT_TRUE(canvas.calls.empty());
  EXPECT_EQ(changes, 1);
}

TEST(GifReaderBlocks, SignatureAndVersionInAnyLetterCase) {
  const struct {
    std::string signature;
    int version;  // -1: "Unknown GIF version"
  } cases[] = {{"GIF89a", 2}, {"GIF87a", 1}, {"gif89A", 2}, {"GiF87A", 1},
               {"GIF90a", -1}, {"GIX89a", -1}, {"JIF89a", -1}, {"GIF8", -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signature);
    const Bytes file = c.signature.size() < 6 ? Header(c.signature) : Cat({GlobalHeader(c.signature), Trailer()});
    const Outcome outcome = Parse(file);
    if (c.version < 0) {
      EXPECT_EQ(outcome.failure, Failure::InvalidOperation);
      EXPECT_EQ(outcome.message, "Unknown GIF version");
    } else {
      EXPECT_EQ(outcome.failure, Failure::None);
      EXPECT_EQ(outcome.image->VersionCode, c.version);
    }
  }
}

TEST(GifReaderBlocks, ScreenDescriptorAndGlobalTableFacts) {
  const Outcome outcome = Parse(Cat({Header(), Screen(300, 200, 3, 5, 49), Palette(8), Trailer()}));
  const TGIFImage& image = *outcome.image;
  EXPECT_EQ(image.LogicalWidth, 300);
  EXPECT_EQ(image.LogicalHeight, 200);
  EXPECT_EQ(image.ScreenInfo->AspectByte, 49);
  EXPECT_EQ(image.ScreenInfo->TableBits, 3);
  EXPECT_EQ(image.ScreenInfo->ColorBits, 8);
  EXPECT_EQ(image.ScreenInfo->GlobalTable.Count, 8);
  EXPECT_EQ(image.BackdropColor, PaletteColor(5));
  // A background index outside the table gives no backdrop colour.
  EXPECT_EQ(Parse(Cat({Header(), Screen(3, 3, 1, 2), Palette(2), Trailer()})).image->BackdropColor, clNone);
}

TEST(GifReaderDamage, FirstFrameThatCannotBeDecodedFailsTheLoadAndIsRemoved) {
  const Bytes codeSize = [](std::uint8_t size) {
    return Bytes{',', 0, 0, 0, 0, 2, 0, 2, 0, 0, size, 1, 0x44, 0};
  }(1);
  const struct {
    const char* name;
    Bytes file;
    const char* message;
    std::size_t framesLeft;
  } cases[] = {
      {"no colour table at all", Cat({Header(), Screen(2, 2, 0), Image({}), Trailer()}),
       "Wrong number of colors; must be a power of 2", 0},
      {"minimum code size 1", Cat({GlobalHeader(), codeSize, Trailer()}), "GIF code size not in range 2 to 9", 0},
      {"minimum code size 10, a second frame follows",
       Cat({GlobalHeader(), {',', 0, 0, 0, 0, 2, 0, 2, 0, 0, 10, 1, 0x44, 0}, SmallImage(), Trailer()}),
       "GIF code size not in range 2 to 9", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Parse(c.file);
    EXPECT_EQ(outcome.failure, Failure::InvalidOperation);
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_EQ(outcome.image->FrameList.size(), c.framesLeft);
    // Not decoding at once, the same data load and fail only when drawn.
    const Outcome deferred = Parse(c.file, false);
    EXPECT_EQ(deferred.failure, Failure::None);
    EXPECT_EQ(deferred.image->FrameList.size(), c.framesLeft + 1);
  }
}

TEST(GifReaderDamage, SubBlockRunningPastTheEndMarksTheFrameCorrupted) {
  // A data sub-block that claims 200 bytes where 3 are left.
  const Outcome outcome = Parse(Cat({GlobalHeader(), {',', 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 200, 1, 2, 3}}));
  ASSERT_EQ(outcome.failure, Failure::None);
  ASSERT_EQ(outcome.image->FrameList.size(), 1u);
  const TGIFFrame& frame = *outcome.image->FrameList[0];
  EXPECT_TRUE(frame.IsCorrupted);
  EXPECT_EQ(*frame.PixelData->EncodedData, Bytes{2});  // the cut block is not kept
  EXPECT_EQ(outcome.image->PixelWidth(), 2);
}

TEST(GifReaderDamage, FileCutAtEveryLengthFailsCleanlyOrLoads) {
  const Bytes file = Cat({Header(), Screen(9, 7, 2), Palette(4), Loop(3), Comment({"first"}),
                          GraphicControl(true, 1, 5), Image({.width = 9, .height = 7, .interlaced = true}),
                          Image({.left = 1, .top = 1, .width = 3, .height = 2, .localTableBits = 3}), Trailer()});
  for (std::size_t length = 0; length <= file.size(); ++length) {
    SCOPED_TRACE(length);
    const Outcome outcome = Parse(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length)));
    if (outcome.failure != Failure::None) {
      EXPECT_TRUE(outcome.message == "Stream read error" || outcome.message == "Unknown GIF version" ||
                  outcome.message == "GIF code size not in range 2 to 9")
          << outcome.message;
      continue;
    }
    for (auto& frame : outcome.image->FrameList) EXPECT_NO_THROW(frame->FrameBitmap());
  }
}

TEST(GifReaderExtensions, CommentsBeforeAnImageStayWithItAndAfterTheLastOneBecomeThePictures) {
  const Outcome outcome = Parse(Cat({GlobalHeader(), Comment({"frame note"}), SmallImage(), Comment({"one", "two"}),
                                     Comment({"three"}), Trailer()}));
  ASSERT_EQ(outcome.image->FrameList.size(), 1u);
  TGIFFrame& frame = *outcome.image->FrameList[0];
  ASSERT_NE(frame.FrameComment(), nullptr);
  EXPECT_EQ(*frame.FrameComment(), (std::vector<std::string>{"frame note"}));
  EXPECT_EQ(outcome.image->Comment(), (std::vector<std::string>{"one", "two", "\r\n\r\n", "three"}));
}

TEST(GifReaderExtensions, FrameCommentIsCreatedOnlyWhenAsked) {
  const Outcome outcome = Parse(Cat({GlobalHeader(), SmallImage(), Trailer()}));
  TGIFFrame& frame = *outcome.image->FrameList[0];
  EXPECT_EQ(frame.FrameComment(false), nullptr);
  std::vector<std::string>* created = frame.FrameComment(true);
  ASSERT_NE(created, nullptr);
  EXPECT_TRUE(created->empty());
  EXPECT_EQ(frame.FrameComment(true), created);
  EXPECT_EQ(frame.ExtensionList.size(), 1u);
}

TEST(GifReaderExtensions, LoopBlocks) {
  const struct {
    const char* name;
    Bytes block;
    bool hasLoop;
    int count;
  } cases[] = {
      {"loop count 0", Loop(0), true, 0},
      {"loop count 5", Loop(5), true, 5},
      {"loop count 40000 is limited", Loop(40000), true, 30000},
      {"other identifier", Application("NETSCAPE2.1", {{1, 5, 0}}), false, 1},
      {"first sub-block not starting with 1", Application("NETSCAPE2.0", {{2, 5, 0}}), false, 1},
      {"first sub-block too short", Application("NETSCAPE2.0", {{1, 5}}), false, 1},
      {"no application block", Comment({"x"}), false, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Parse(Cat({GlobalHeader(), c.block, SmallImage(), Trailer()}));
    ASSERT_EQ(outcome.failure, Failure::None);
    EXPECT_EQ(outcome.image->HasLoopBlock, c.hasLoop);
    EXPECT_EQ(outcome.image->LoopCount, c.count);
    // Application blocks are not kept with the frame.
    for (const TExtension& kept : outcome.image->FrameList[0]->ExtensionList) EXPECT_NE(kept.Kind, ApplicationKind);
  }
}

TEST(GifReaderExtensions, TransparencyDelayAndDisposalFromGraphicControlBlocks) {
  const struct {
    const char* name;
    Bytes before;   // the blocks before the image
    ImageSpec spec;
    std::uint32_t transparent;
    int delayMs;
    int disposal;
  } cases[] = {
      {"index inside the table", GraphicControl(true, 3, 7, 2), {}, PaletteColor(3), 70, 2},
      {"index at the table's count", GraphicControl(true, 4), {}, clNone, 0, 0},
      {"index beyond a local table, inside the global one", GraphicControl(true, 3), {.localTableBits = 1},
       clNone, 0, 0},
      {"flag clear", GraphicControl(false, 1), {}, clNone, 0, 0},
      {"block size byte 5 still read as six bytes", GraphicControl(true, 2, 0, 0, 5), {}, PaletteColor(2), 0, 0},
      {"the last block decides, the longest delay wins",
       Cat({GraphicControl(true, 1, 9, 1), GraphicControl(false, 1, 3, 3)}), {}, clNone, 90, 3},
      {"a later transparent index replaces an earlier one",
       Cat({GraphicControl(true, 1), GraphicControl(true, 2)}), {}, PaletteColor(2), 0, 0},
      {"a plain text block drops the graphic control before it",
       Cat({GraphicControl(true, 1, 4), PlainText()}), {}, clNone, 0, 0},
      {"a graphic control after plain text counts", Cat({PlainText(), GraphicControl(true, 1)}), {},
       PaletteColor(1), 0, 0},
      {"a delay too long for 16 bits is held at the most", GraphicControl(false, 0, 10000), {}, clNone, 65535, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Parse(Cat({GlobalHeader(), c.before, Image(c.spec), Trailer()}));
    ASSERT_EQ(outcome.failure, Failure::None);
    ASSERT_EQ(outcome.image->FrameList.size(), 1u);
    const TGIFFrame& frame = *outcome.image->FrameList[0];
    EXPECT_EQ(frame.TransparentRGB, c.transparent);
    EXPECT_EQ(frame.DelayMs, c.delayMs);
    EXPECT_EQ(frame.DisposalCode, c.disposal);
    EXPECT_EQ(outcome.image->HasTransparentFrame(), c.transparent != clNone);
  }
}

TEST(GifReaderTables, LocalTablesGiveTheirOwnColoursAndBitsGlobalOnesACopy) {
  const Outcome outcome = Parse(Cat({GlobalHeader(), Image({}, {0, 1, 2, 3}),
                                     Image({.width = 3, .height = 1, .localTableBits = 3, .paletteShift = 50},
                                           {5, 6, 7}, 3),
                                     Trailer()}));
  ASSERT_EQ(outcome.image->FrameList.size(), 2u);
  TGIFFrame& global = *outcome.image->FrameList[0];
  TGIFFrame& local = *outcome.image->FrameList[1];
  EXPECT_FALSE(global.OwnTable);
  EXPECT_EQ(global.PixelData->PixelBits, 2);
  EXPECT_EQ(global.PixelData->FrameTable.Entries, outcome.image->ScreenInfo->GlobalTable.Entries);
  EXPECT_TRUE(local.OwnTable);
  EXPECT_EQ(local.PixelData->PixelBits, 3);
  EXPECT_EQ(local.PixelData->FrameTable.Count, 8);
  const Bytes& globalFile = global.FrameBitmap().File();
  EXPECT_EQ(BitmapPixelColor(globalFile, 1, 0), PaletteColor(1));
  EXPECT_EQ(BitmapPixelColor(globalFile, 1, 1), PaletteColor(3));
  const Bytes& localFile = local.FrameBitmap().File();
  for (int x = 0; x < 3; ++x) EXPECT_EQ(BitmapPixelColor(localFile, x, 0), PaletteColor(55 + x));
}

TEST(GifReaderTables, InterlacedRowsLandInPlace) {
  const Bytes pixels = {0, 0, 1, 1, 2, 2, 3, 3, 0, 0};  // one colour per row, 2 x 5
  const Outcome outcome = Parse(Cat({GlobalHeader(), Image({.width = 2, .height = 5, .interlaced = true}, pixels)}));
  TGIFFrame& frame = *outcome.image->FrameList[0];
  EXPECT_TRUE(frame.IsInterlaced);
  for (int row = 0; row < 5; ++row) EXPECT_EQ(BitmapPixelColor(frame.FrameBitmap().File(), 1, row), PaletteColor(pixels[row * 2]));
}

TEST(GifPicture, PixelSizeIsTheShownFramesNotTheLogicalScreens) {
  const Outcome outcome = Parse(Cat({Header(), Screen(200, 200, 1), Palette(2),
                                     Image({.left = 10, .top = 10, .width = 100, .height = 50}), Trailer()}));
  EXPECT_EQ(outcome.image->PixelWidth(), 100);
  EXPECT_EQ(outcome.image->PixelHeight(), 50);
  EXPECT_EQ(outcome.image->LogicalWidth, 200);
  EXPECT_EQ(outcome.image->FrameList[0]->Left, 10);
}

TEST(GifPicture, StoredDataLeaveTheCallersStreamJustBehindThePicture) {
  const struct {
    const char* name;
    Bytes file;
    bool fails;
  } cases[] = {
      {"whole picture", Cat({GlobalHeader(), SmallImage(), Trailer()}), false},
      {"data after the trailer", Cat({GlobalHeader(), SmallImage(), Trailer(), {'j', 'u', 'n', 'k'}}), false},
      {"no trailer", Cat({GlobalHeader(), SmallImage()}), false},
      {"failing picture", Cat({GlobalHeader(), {'x'}, SmallImage()}), true},
      {"not a GIF", Bytes{'P', 'N', 'G', 1, 2, 3, 4, 5}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes stored = Cat({Stored(c.file), {',', '!', ';', 0}});
    TByteViewStream stream(stored);
    TGIFImage image;
    bool failed = false;
    try {
      image.ReadStoredData(stream);
    } catch (const std::exception&) {
      failed = true;
    }
    EXPECT_EQ(failed, c.fails);
    EXPECT_EQ(stream.Position(), 4 + c.file.size());
  }
}

TEST(GifPicture, StoredLengthBeyondTheStreamOrNegativeFailsAsAShortRead) {
  for (const Bytes& stored : {Bytes{100, 0, 0, 0, 'G', 'I', 'F'}, Bytes{0xFF, 0xFF, 0xFF, 0xFF, 'G'}, Bytes{1, 0}}) {
    TByteViewStream stream(stored);
    TGIFImage image;
    try {
      image.ReadStoredData(stream);
      ADD_FAILURE() << "no failure";
    } catch (const EReadError& failure) {
      EXPECT_STREQ(failure.what(), "Stream read error");
    }
  }
}

TEST(GifPicture, LoadingDecodesTheFirstFrameOnceAndReportsProgress) {
  const Bytes file = Cat({GlobalHeader(), SmallImage(), SmallImage(), Trailer()});
  TGIFImage image;
  std::vector<TProgressStage> stages;
  std::vector<int> percents;
  image.OnDecodeProgress = [&](TGIFImage& sender, TProgressStage stage, int percent, bool redraw,
                               const DrawRect& rect, const std::string& message) {
    EXPECT_EQ(&sender, &image);
    EXPECT_FALSE(redraw);
    EXPECT_EQ(rect, DrawRect{});
    EXPECT_EQ(message, "");
    stages.push_back(stage);
    percents.push_back(percent);
  };
  TByteViewStream stream(file);
  image.LoadWholeStream(stream);
  ASSERT_NE(image.FrameList[0]->BitmapCache, nullptr);
  EXPECT_EQ(image.FrameList[1]->BitmapCache, nullptr);  // still compressed
  ASSERT_GE(stages.size(), 3u);
  EXPECT_EQ(stages.front(), psStarting);
  EXPECT_EQ(stages.back(), psEnding);
  EXPECT_EQ(percents.back(), 100);
  const TBitmap* first = &image.FrameList[0]->FrameBitmap();
  const std::size_t notified = stages.size();
  EXPECT_EQ(image.PixelWidth(), 2);
  EXPECT_EQ(&image.FrameList[0]->FrameBitmap(), first);
  EXPECT_EQ(stages.size(), notified);  // decoded once
}

TEST(GifPicture, DrawsTheShownFrameTransparentlyOnlyWhereItHasATransparentColour) {
  const Bytes file = Cat({GlobalHeader(), SmallImage(), GraphicControl(true, 2), SmallImage(), Trailer()});
  Outcome outcome = Parse(file);
  TGIFImage& image = *outcome.image;
  RecordingCanvas canvas;
  const DrawRect rect{3, 4, 30, 40};
  image.DrawInto(canvas, rect);
  image.ShownFrame = 1;
  image.DrawInto(canvas, rect);
  ASSERT_EQ(canvas.calls.size(), 2u);
  EXPECT_FALSE(canvas.calls[0].transparent);
  EXPECT_TRUE(canvas.calls[1].transparent);
  EXPECT_EQ(canvas.calls[1].color, PaletteColor(2));
  EXPECT_EQ(canvas.calls[1].rect, rect);
  EXPECT_EQ(canvas.calls[1].width, 2);
}

TEST(GifPicture, CopiesShareDataAndAreTheSame) {
  const Bytes file = Cat({GlobalHeader(), Comment({"c"}), SmallImage(), GraphicControl(true, 1), SmallImage(),
                          Comment({"picture"}), Trailer()});
  Outcome a = Parse(file);
  Outcome separate = Parse(file);
  TGIFImage copy;
  copy.CopyFrom(*a.image);
  EXPECT_TRUE(copy.SameAs(*a.image));
  EXPECT_TRUE(a.image->SameAs(copy));
  EXPECT_FALSE(separate.image->SameAs(*a.image));
  ASSERT_EQ(copy.FrameList.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(copy.FrameList[i]->PixelData, a.image->FrameList[i]->PixelData);
    EXPECT_EQ(copy.FrameList[i]->ParentImage, &copy);
  }
  EXPECT_EQ(copy.FrameList[1]->TransparentRGB, PaletteColor(1));
  EXPECT_EQ(*copy.FrameList[0]->FrameComment(), (std::vector<std::string>{"c"}));
  EXPECT_EQ(copy.Comment(), (std::vector<std::string>{"picture"}));
  EXPECT_EQ(copy.ShownFrame, 0);
  EXPECT_EQ(copy.PixelWidth(), 2);
}

TEST(GifPicture, CopyingFromItselfChangesNothing) {
  Outcome a = Parse(Cat({GlobalHeader(), SmallImage(), Trailer()}));
  int changes = 0;
  a.image->OnChange = [&] { ++changes; };
  const auto data = a.image->ScreenInfo;
  const TGIFFrame* frame = a.image->FrameList[0].get();
  a.image->CopyFrom(*a.image);
  EXPECT_EQ(a.image->ScreenInfo, data);
  EXPECT_EQ(a.image->FrameList[0].get(), frame);
  EXPECT_EQ(changes, 0);
}

TEST(GifPicture, PictureFromOneFrameTakesTheScreenFactsAndSharesTheFrameData) {
  Outcome a = Parse(Cat({Header("GIF87a"), Screen(4, 4, 2, 0, 7), Palette(4), SmallImage(),
                         Image({.left = 1, .top = 2}), Trailer()}));
  TGIFImage single;
  single.CopyFrom(*a.image->FrameList[1]);
  ASSERT_EQ(single.FrameList.size(), 1u);
  EXPECT_EQ(single.ShownFrame, 0);
  EXPECT_EQ(single.VersionCode, 1);
  EXPECT_EQ(single.ScreenInfo->AspectByte, 7);
  EXPECT_EQ(single.ScreenInfo->GlobalTable.Count, 4);
  EXPECT_EQ(single.FrameList[0]->PixelData, a.image->FrameList[1]->PixelData);
  EXPECT_EQ(single.LogicalWidth, 3);  // left + width
  EXPECT_EQ(single.LogicalHeight, 4);
  // From one of its own frames: the frame outlives the reset.
  const auto data = a.image->FrameList[1]->PixelData;
  a.image->CopyFrom(*a.image->FrameList[1]);
  ASSERT_EQ(a.image->FrameList.size(), 1u);
  EXPECT_EQ(a.image->FrameList[0]->PixelData, data);
}

TEST(GifPicture, FrameCopyDropsABitmapOfItsOldData) {
  Outcome a = Parse(Cat({GlobalHeader(), SmallImage(), Image({.width = 3, .height = 3}), Trailer()}), false);
  TGIFFrame& target = *a.image->FrameList[0];
  EXPECT_EQ(target.FrameBitmap().Width(), 2);
  target.CopyFrom(*a.image->FrameList[1]);  // not decoded yet
  EXPECT_EQ(target.FrameBitmap().Width(), 3);
  target.CopyFrom(nullptr);
  EXPECT_EQ(target.BitmapCache, nullptr);
  EXPECT_EQ(target.FrameWidth(), 0);
}

TEST(GifPicture, CopyFromNothingEmptiesAndBitmapsGoTheirOwnWay) {
  Outcome a = Parse(Cat({GlobalHeader(), SmallImage(), Trailer()}));
  TBitmap bitmap;
  a.image->CopyInto(bitmap);
  EXPECT_EQ(bitmap.File(), a.image->FrameList[0]->FrameBitmap().File());
  a.image->CopyFrom(nullptr);
  EXPECT_TRUE(a.image->IsBlank());
  a.image->CopyInto(bitmap);
  EXPECT_TRUE(bitmap.Empty());
  // An empty picture asked for its bitmap becomes one empty frame.
  EXPECT_TRUE(a.image->CurrentBitmap().Empty());
  EXPECT_EQ(a.image->FrameList.size(), 1u);
  EXPECT_EQ(a.image->ShownFrame, 0);
}

TEST(GifPicture, ResizingAndTheEncodingSideAreRefused) {
  Outcome a = Parse(Cat({GlobalHeader(), SmallImage(), Trailer()}));
  TGIFImage& image = *a.image;
  TMemoryStream stream;
  std::vector<std::uint8_t> clipboard;
  const TBitmap bitmap = image.FrameList[0]->FrameBitmap();
  const auto message = [](auto&& action) {
    try {
      action();
    } catch (const EInvalidGraphicOperation& failure) {
      return std::string(failure.what());
    }
    return std::string("no failure");
  };
  EXPECT_EQ(message([&] { image.ResizeTo(TGIFImage::Dimension::Width, 5); }), kResizeRefusedMessage);
  EXPECT_EQ(message([&] { image.ResizeTo(TGIFImage::Dimension::Height, 5); }), kResizeRefusedMessage);
  EXPECT_EQ(message([&] { image.WriteStoredData(stream); }), kEncodingRefusedMessage);
  EXPECT_EQ(message([&] { image.SaveToStream(stream); }), kEncodingRefusedMessage);
  EXPECT_EQ(message([&] { image.SaveToClipboardData(clipboard); }), kEncodingRefusedMessage);
  EXPECT_EQ(message([&] { image.AddFrameFrom(bitmap); }), kEncodingRefusedMessage);
  EXPECT_EQ(message([&] { image.CopyFrom(bitmap); }), kEncodingRefusedMessage);
  EXPECT_EQ(image.PixelWidth(), 2);  // unchanged
}

TEST(GifPicture, ClipboardDataLoadWithoutDecodingAndTakeTheClipboardsBitmap) {
  const Bytes stored = Stored(Cat({GlobalHeader(), SmallImage(), Trailer()}));
  TGIFImage image;
  image.LoadFromClipboardData(stored, nullptr);
  ASSERT_EQ(image.FrameList.size(), 1u);
  EXPECT_EQ(image.ShownFrame, 0);
  EXPECT_EQ(image.FrameList[0]->BitmapCache, nullptr);

  Outcome other = Parse(Cat({GlobalHeader(), Image({.width = 5, .height = 1}), Trailer()}));
  const TBitmap wide = other.image->FrameList[0]->FrameBitmap();
  image.LoadFromClipboardData(stored, &wide);
  EXPECT_EQ(image.PixelWidth(), 5);
}

}  // namespace
}  // namespace quickintro::gif
