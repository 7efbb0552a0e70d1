#pragma once
// The GIF picture: TGIFImage and its frames, read from GIF87a and GIF89a
// data. Platform-free, and it calls nothing above it.
//
// The wizard reads a picture through one door, ReadGIFImage: it answers a
// picture whose shown frame is decoded and ready to draw, and the caller
// draws it (FrameToDraw). Behind it stand reading without decoding, the
// stored form of the clipboard, copies and the frames' facts, for tools and
// the clipboard. A picture keeps the bytes of its file once: its frames,
// colour tables and comments are views of them, so that its memory stays
// within a small multiple of the file's size whatever its frame count, and
// copies share them. Only the reading side exists: a bitmap is never turned
// into frames (kEncodingRefusedMessage).

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/byte_cursor.h"
#include "quickintro/gif/color_value.h"
#include "quickintro/gif/decode_progress.h"
#include "quickintro/gif/frame_format.h"

namespace quickintro::gif {

inline constexpr const char* kUnknownVersionMessage = "Unknown GIF version";
inline constexpr const char* kEncodingRefusedMessage =
    "Writing GIF data or converting pictures into GIF frames is not supported";

// The bytes of a GIF file, held once and shared by the pictures read from it.
using SharedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// What drawing a picture shows: the shown frame's bitmap, stretched whole
// into the target, with every pixel of TransparentColor leaving what lies
// beneath (clNone: drawn opaque).
struct TShownFrame {
  const TBitmap* Bitmap = nullptr;  // null: nothing to draw
  std::uint32_t TransparentColor = clNone;
};

// Image-wide data, shared by copies of a picture.
struct TGIFData {
  SharedBytes File;  // what the views below and the frames' views are of
  std::uint8_t AspectByte = 0;
  std::uint8_t TableBits = 0;  // global table entries = 2 ^ TableBits
  std::uint8_t ColorBits = 0;  // colour resolution
  ColorTable GlobalTable;      // as much of it as the file holds; none when the file has none
  // The extension blocks the picture comment comes from.
  std::span<const std::uint8_t> CommentBlocks;
};

enum TExtensionKind : std::uint8_t {
  GraphicControlKind = 0,  // label 0xF9
  PlainTextKind = 1,       // label 0x01
  ApplicationKind = 2,     // label 0xFF
  CommentKind = 3,         // label 0xFE
};

// One extension block, as far as the file holds it.
struct TExtension {
  TExtensionKind Kind = CommentKind;
  // The bytes after the label, block-size byte first: 6 for a graphic
  // control block, 13 for plain text, 12 for an application block.
  std::span<const std::uint8_t> FixedPart;
  // The data sub-blocks with their length bytes, the terminator included;
  // none for a graphic control block.
  std::span<const std::uint8_t> SubBlockData;

  // One string per data sub-block.
  std::vector<std::string> SubBlocks() const;
};

// One frame as read: where it stands, its size, colours, transparency and
// timing, and its compressed data until it is decoded.
class TGIFFrame {
 public:
  std::int32_t Left() const { return left_; }
  std::int32_t Top() const { return top_; }
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  std::uint8_t DescriptorFlags() const { return descriptorFlags_; }
  int PixelBits() const { return pixelBits_; }  // 1 to 8; 0 when the file gives no colour table
  bool IsInterlaced() const { return interlaced_; }
  // Damaged data were met while reading or decoding the frame.
  bool IsCorrupted() const { return corrupted_; }
  bool OwnTable() const { return ownTable_; }
  ColorTable FrameTable() const { return table_; }  // the local table, or the global one
  std::uint32_t TransparentRGB() const { return transparentRGB_; }
  std::uint16_t DelayMs() const { return delayMs_; }
  std::uint8_t DisposalCode() const { return disposalCode_; }
  // The minimum code size byte and the data sub-blocks as they stood in the
  // file, length bytes included (only whole sub-blocks).
  std::span<const std::uint8_t> EncodedData() const { return encoded_; }
  // The graphic control and comment blocks that preceded the frame.
  std::vector<TExtension> Extensions() const;
  // The sub-blocks of the last comment block among them, if there is one.
  std::optional<std::vector<std::string>> FrameComment() const;
  // The decoded frame; null until it is decoded.
  const TBitmap* Bitmap() const { return bitmap_.get(); }

 private:
  friend class TGifParser;
  friend class TGIFImage;

  std::span<const std::uint8_t> encoded_;
  std::span<const std::uint8_t> extensions_;
  ColorTable table_;
  std::shared_ptr<const TBitmap> bitmap_;
  std::uint32_t transparentRGB_ = clNone;
  std::uint16_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::uint16_t delayMs_ = 0;
  std::uint8_t descriptorFlags_ = 0;
  std::uint8_t pixelBits_ = 0;
  std::uint8_t disposalCode_ = 0;
  bool interlaced_ = false;
  bool corrupted_ = false;
  bool ownTable_ = false;
};

struct TGIFReading;

class TGIFImage {
 public:
  // A picture without frames.
  TGIFImage();
  // Copies share the source's data (SameAs) and its decoded frames, and
  // take time in proportion to the frames.
  TGIFImage(const TGIFImage&) = default;
  TGIFImage& operator=(const TGIFImage&) = default;
  TGIFImage(TGIFImage&&) = default;
  TGIFImage& operator=(TGIFImage&&) = default;

  // A picture of frame index of source alone, shown: the source's
  // screen facts and colour tables, a logical size that just holds the frame.
  static TGIFImage OfFrame(const TGIFImage& source, std::size_t index);

  std::uint8_t VersionCode() const { return versionCode_; }  // 0 none, 1 "87a", 2 "89a"
  std::uint16_t LogicalWidth() const { return logicalWidth_; }
  std::uint16_t LogicalHeight() const { return logicalHeight_; }
  std::uint32_t BackdropColor() const { return backdropColor_; }
  bool HasLoopBlock() const { return hasLoopBlock_; }
  std::int16_t LoopCount() const { return loopCount_; }
  const TGIFData& ScreenInfo() const { return *screen_; }
  // The picture comment: the comment blocks after the last frame, two line
  // breaks ("\r\n\r\n") between blocks.
  std::vector<std::string> Comment() const;
  std::span<const TGIFFrame> Frames() const { return frames_; }
  // The frame that is drawn and measured; -1 when none.
  std::int32_t ShownFrame() const { return shownFrame_; }

  // Measuring and drawing the shown frame, decoded or not; nothing here
  // decodes.
  bool IsBlank() const;
  std::int32_t PixelWidth() const;
  std::int32_t PixelHeight() const;
  // The shown frame's bitmap, when it is decoded, and its transparent colour.
  TShownFrame FrameToDraw() const;
  bool SameAs(const TGIFImage& other) const { return screen_ == other.screen_; }

  // The frame's bitmap, decoded on first use and kept. Fails with the
  // decoder's message; the frame is then left without a bitmap.
  const TBitmap& DecodeFrame(std::size_t index, const DecodeProgressSink& progress = {});
  // Lets a frame's bitmap go (a tool that looks at every frame in turn).
  void ForgetBitmap(std::size_t index);
  // The shown frame's image is bitmap instead of its decoded data (the
  // clipboard's bitmap beside its GIF data).
  void SetShownBitmap(TBitmap bitmap);

 private:
  friend class TGifParser;
  friend TGIFReading ReadGIFFrames(SharedBytes owner, std::span<const std::uint8_t> file);

  std::shared_ptr<TGIFData> screen_;
  std::vector<TGIFFrame> frames_;
  std::int32_t shownFrame_ = -1;
  std::uint8_t versionCode_ = 0;
  std::uint16_t logicalWidth_ = 0;
  std::uint16_t logicalHeight_ = 0;
  std::uint32_t backdropColor_ = clNone;
  bool hasLoopBlock_ = false;
  std::int16_t loopCount_ = 1;
};

// ---- Reading ----

// The picture reader's one door: the GIF file in file, read whole, with its
// shown frame decoded and ready to draw. Fails with the reader's message
// when the file cannot be read or its shown frame cannot be decoded.
TGIFImage ReadGIFImage(SharedBytes file);

// What reading gave without decoding: the frames read, and the failure that
// stopped reading (null when none). After a failure the frames read before
// it stay and none is shown.
struct TGIFReading {
  TGIFImage Image;
  std::exception_ptr Failure;
};

// The GIF file in file, which lies within the bytes owner keeps.
TGIFReading ReadGIFFrames(SharedBytes owner, std::span<const std::uint8_t> file);

// The stored form of a picture (the clipboard's "GIF Image" data): a signed
// 32-bit little-endian length, then that many bytes of GIF file, which lie
// within the bytes owner keeps. The cursor is left just behind them; a
// length that is negative or runs past the data fails with "Stream read
// error".
TGIFReading ReadStoredGIF(SharedBytes owner, TByteCursor& stored);

}  // namespace quickintro::gif
