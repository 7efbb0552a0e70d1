#pragma once
// The GIF picture: TGIFImage and its frames, read from GIF87a and GIF89a
// data. Frames stay compressed until first needed and are decoded once; copies
// of pictures and frames share the compressed data and colour tables.
// Platform-free, and it calls nothing above it: a picture answers with the
// decoded frame to show (FrameToDraw), and the caller draws it. Only the
// reading side exists: converting a bitmap into frames is refused with
// kEncodingRefusedMessage.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/color_value.h"
#include "quickintro/gif/decode_progress.h"
#include "quickintro/gif/frame_format.h"
#include "quickintro/gif/gif_stream.h"

namespace quickintro::gif {

inline constexpr const char* kUnknownVersionMessage = "Unknown GIF version";
inline constexpr const char* kResizeRefusedMessage = "Cannot change the Size of a GIF image";
inline constexpr const char* kEncodingRefusedMessage =
    "Writing GIF data or converting pictures into GIF frames is not supported";
inline constexpr const char* kInvalidBitmapMessage = "Bitmap image is not valid";

// A decoded frame: its bitmap file (bitmap_file.h) and where the file keeps
// its parts.
class TBitmap {
 public:
  TBitmap() = default;
  // Takes a bitmap file; fails with kInvalidBitmapMessage unless it is an
  // uncompressed bitmap file that holds all its rows.
  explicit TBitmap(std::vector<std::uint8_t> file);

  bool Empty() const { return file_.empty(); }
  std::int32_t Width() const { return layout_.Width; }
  std::int32_t Height() const { return layout_.Height; }
  const std::vector<std::uint8_t>& File() const { return file_; }
  const TBitmapLayout& Layout() const { return layout_; }

 private:
  std::vector<std::uint8_t> file_;
  TBitmapLayout layout_;
};

// What drawing a picture shows: the shown frame's bitmap, stretched whole
// into the target, with every pixel of TransparentColor leaving what lies
// beneath (clNone: drawn opaque).
struct TShownFrame {
  const TBitmap* Bitmap = nullptr;  // null: nothing to draw
  std::uint32_t TransparentColor = clNone;
};

// Image-wide data, shared by copies of a picture.
struct TGIFData {
  std::vector<std::string> CommentLines;
  std::uint8_t AspectByte = 0;
  std::uint8_t TableBits = 0;  // global table entries = 2 ^ TableBits
  std::uint8_t ColorBits = 0;  // colour resolution
  TColorTableRec GlobalTable;
};

// The bytes of a GIF file, held once and shared by the frames read from it.
using SharedBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// A frame's pixel data, shared by copies of a frame.
struct TGIFItem {
  // The minimum code size byte and the data sub-blocks as they stood in the
  // file, length bytes included: where they stand in the picture's bytes,
  // which Source keeps. Absent for a frame that has no data.
  std::optional<std::span<const std::uint8_t>> EncodedData;
  SharedBytes Source;
  std::int32_t FrameWidth = 0;
  std::int32_t FrameHeight = 0;
  std::uint8_t DescriptorFlags = 0;
  std::uint8_t PixelBits = 0;  // 1 to 8; 0 when the file gives no colour table
  TColorTableRec FrameTable;   // the local table, or a copy of the global one
};

enum TExtensionKind : std::uint8_t {
  GraphicControlKind = 0,  // label 0xF9
  PlainTextKind = 1,       // label 0x01
  ApplicationKind = 2,     // label 0xFF
  CommentKind = 3,         // label 0xFE
};

// One extension block kept with a frame.
struct TExtension {
  TExtensionKind Kind = CommentKind;
  std::optional<std::vector<std::string>> SubBlocks;  // one string per data sub-block
  // The bytes after the label, block-size byte first: 6 for a graphic
  // control block, 13 for plain text, 12 for an application block.
  std::array<std::uint8_t, 13> FixedPart{};
  std::uint8_t FixedLength = 0;

  void CopyFrom(const TExtension& source) { *this = source; }
};

class TGIFImage;
class TGIFFrame;

using TProgressEvent =
    std::function<void(TGIFImage& sender, TProgressStage stage, int percentDone, const std::string& message)>;

class TGIFFrame {
 public:
  explicit TGIFFrame(TGIFImage* parentImage);
  TGIFFrame(const TGIFFrame&) = delete;
  TGIFFrame& operator=(const TGIFFrame&) = delete;

  // The decoded frame, decoded on first use and kept.
  const TBitmap& FrameBitmap();
  std::int32_t FrameWidth();
  std::int32_t FrameHeight();
  void ResetFrame();
  // The sub-blocks of the last comment block; with create, a new empty one
  // is appended when there is none. Null otherwise.
  std::vector<std::string>* FrameComment(bool create);
  const std::vector<std::string>* FrameComment() const;

  void CopyFrom(std::nullptr_t);
  void CopyFrom(const TGIFFrame& source);
  void CopyFrom(const TGIFImage& source);
  void CopyInto(TGIFFrame& target) const { target.CopyFrom(*this); }
  void CopyInto(TGIFImage& target) const;
  void CopyInto(TBitmap& target) { target = FrameBitmap(); }

  TGIFImage* ParentImage;
  std::unique_ptr<TBitmap> BitmapCache;
  std::shared_ptr<TGIFItem> PixelData;
  std::vector<TExtension> ExtensionList;
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  bool IsInterlaced = false;
  bool IsCorrupted = false;
  bool IsGray = false;
  std::uint32_t TransparentRGB = clNone;
  std::uint16_t DelayMs = 0;
  std::uint8_t DisposalCode = 0;
  bool OwnTable = false;

 private:
  bool HasEncodedData() const;
};

class TGIFImage {
 public:
  enum class TDimension { dmWidth, dmHeight };

  TGIFImage();
  TGIFImage(const TGIFImage&) = delete;
  TGIFImage& operator=(const TGIFImage&) = delete;

  // Reading.
  // The layout's form: a signed 32-bit little-endian length, then that many
  // bytes of GIF file; decodes the first frame at once.
  void ReadStoredData(TStream& stream);
  // The rest of the stream is the GIF file.
  void LoadWholeStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  // Reads length bytes of GIF file from the stream, leaving the stream just
  // behind them. Frames read before a failure stay, with ShownFrame -1.
  void ParseGif(TStream& stream, std::size_t length, bool decodeAtOnce);
  // The same for a file whose bytes (file, within owner) are already held:
  // the frames keep them instead of a copy.
  void ParseGif(SharedBytes owner, std::span<const std::uint8_t> file, bool decodeAtOnce);
  // The clipboard's "GIF Image" data (a 32-bit length, then the file), not
  // decoded at once; a bitmap also on the clipboard becomes frame 0's image.
  void LoadFromClipboardData(std::span<const std::uint8_t> data, const TBitmap* clipboardBitmap);

  // Measuring and drawing the shown frame.
  bool IsBlank() const;
  std::int32_t PixelWidth();
  std::int32_t PixelHeight();
  // The shown frame, decoded if it is not yet, and its transparent colour;
  // no bitmap when no frame is shown.
  TShownFrame FrameToDraw();
  const TBitmap& CurrentBitmap();
  bool SameAs(const TGIFImage& other) const { return ScreenInfo == other.ScreenInfo; }
  std::vector<std::string>& Comment() { return ScreenInfo->CommentLines; }

  // Copies share the source's data.
  void CopyFrom(std::nullptr_t);
  void CopyFrom(const TGIFImage& source);
  void CopyFrom(const TGIFFrame& source);
  // Only an empty bitmap can be taken (as one empty frame); any other needs
  // the encoding side and is refused.
  void CopyFrom(const TBitmap& source);
  void CopyInto(TGIFImage& target) const { target.CopyFrom(*this); }
  void CopyInto(TBitmap& target);

  // Refused: a GIF picture keeps the size its data give.
  [[noreturn]] void ResizeTo(TDimension dimension, std::int32_t newSize);

  void ResetImage();
  void UpdateLogicalSize();
  // Passed on to OnDecodeProgress when it is set.
  void Progress(TProgressStage stage, int percentDone, const std::string& message);

  std::shared_ptr<TGIFData> ScreenInfo;
  std::uint8_t VersionCode = 0;  // 0 none, 1 "87a", 2 "89a"
  std::vector<std::unique_ptr<TGIFFrame>> FrameList;
  std::int32_t ShownFrame = -1;
  std::uint16_t LogicalWidth = 0;
  std::uint16_t LogicalHeight = 0;
  std::uint32_t BackdropColor = clNone;
  bool HasLoopBlock = false;
  std::int16_t LoopCount = 1;
  TProgressEvent OnDecodeProgress;
  // The picture's content changed (the container repaints).
  std::function<void()> OnChange;

 private:
  void Changed();
  TGIFFrame* FrameAtOrFirst(std::int32_t index) const;
};

}  // namespace quickintro::gif
