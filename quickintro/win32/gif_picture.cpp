#include "quickintro/win32/gif_picture.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/graphic_error.h"
#include "quickintro/picture_scaling.h"
#include "quickintro/win32/debug_output.h"
#include "quickintro/win32/system_colors.h"
#include "quickintro/win32/transparent_stretch.h"
#include "quickintro/win32/win32_handles.h"

namespace quickintro {
namespace {

using gif::EReadError;

// Larger system bitmaps are not made: a damaged size must not take all memory.
constexpr std::int64_t kMostDevicePixels = std::int64_t{1} << 26;

class TClipboardSession {
 public:
  explicit TClipboardSession(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~TClipboardSession() {
    if (open_) CloseClipboard();
  }
  TClipboardSession(const TClipboardSession&) = delete;
  TClipboardSession& operator=(const TClipboardSession&) = delete;
  bool IsOpen() const { return open_; }

 private:
  bool open_;
};

BITMAPINFO TrueColorInfo(LONG width, LONG height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// The information header and colour table of a bitmap's file, copied to
// storage aligned for BITMAPINFO.
std::vector<std::uint32_t> AlignedBitmapInfo(const TBitmap& bitmap) {
  const std::span<const std::uint8_t> info = bitmap.Info();
  std::vector<std::uint32_t> aligned((info.size() + 3) / 4);
  std::memcpy(aligned.data(), info.data(), info.size());
  return aligned;
}

// A frame without a transparent colour: stretched into target as it is.
void StretchOpaque(HDC dc, const RECT& target, HBITMAP frame, const RECT& source) {
  UniqueMemoryDc picture(CreateCompatibleDC(dc));
  if (!picture) return;
  TSelectedObject selection(picture.Get(), frame);
  const int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, target.left, target.top, target.right - target.left, target.bottom - target.top, picture.Get(),
             source.left, source.top, source.right - source.left, source.bottom - source.top, SRCCOPY);
  if (oldMode) SetStretchBltMode(dc, oldMode);
}

// A colour value's red, green and blue as a 32-bit bitmap holds them.
std::uint32_t BitmapRgb(std::uint32_t color) {
  const COLORREF rgb = ResolveColor(color);
  return (GetRValue(rgb) << 16) | (GetGValue(rgb) << 8) | GetBValue(rgb);
}

// A 32-bit bitmap of the frame (a 32-bit system bitmap of MakeDeviceBitmap)
// scaled by area to size, its alpha premultiplied; null when it cannot be
// made.
UniqueBitmap MakeScaledBitmap(HBITMAP frame, std::uint32_t transparentColor, SIZE size) {
  DIBSECTION source{};
  if (GetObject(frame, sizeof source, &source) != sizeof source || source.dsBm.bmBitsPixel != 32 ||
      !source.dsBm.bmBits)
    return {};
  if (size.cx <= 0 || size.cy <= 0 || std::int64_t{size.cx} * size.cy > kMostDevicePixels) return {};
  const auto* first = static_cast<const std::uint32_t*>(source.dsBm.bmBits);
  std::vector<std::uint32_t> pixels(first, first + std::size_t(source.dsBm.bmWidth) * source.dsBm.bmHeight);
  KeyOutColor(pixels, transparentColor == clNone ? std::nullopt : std::optional(BitmapRgb(transparentColor)));
  const BITMAPINFO info = TrueColorInfo(size.cx, size.cy);
  void* bits = nullptr;
  UniqueBitmap scaled(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!scaled) return {};
  ScaleByArea(pixels, source.dsBm.bmWidth, source.dsBm.bmHeight,
              std::span(static_cast<std::uint32_t*>(bits), std::size_t(size.cx) * size.cy), size.cx, size.cy);
  return scaled;
}

// Draws a scaled bitmap of MakeScaledBitmap; with a transparent colour it is
// blended by its alpha, so the outline of the opaque parts is smooth too.
void DrawScaled(HDC dc, const RECT& target, HBITMAP scaled, bool transparent) {
  UniqueMemoryDc picture(CreateCompatibleDC(dc));
  if (!picture) return;
  TSelectedObject selection(picture.Get(), scaled);
  const int width = target.right - target.left, height = target.bottom - target.top;
  if (!transparent) {
    BitBlt(dc, target.left, target.top, width, height, picture.Get(), 0, 0, SRCCOPY);
    return;
  }
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc, target.left, target.top, width, height, picture.Get(), 0, 0, width, height, blend);
}

std::vector<TPictureFileFormat>& PictureFormatList() {
  static std::vector<TPictureFileFormat> formats;
  return formats;
}

}  // namespace

UniqueBitmap MakeDeviceBitmap(const TBitmap& bitmap) {
  if (bitmap.Empty() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
  if (std::int64_t{bitmap.Width()} * bitmap.Height() > kMostDevicePixels) return {};
  const std::vector<std::uint32_t> info = AlignedBitmapInfo(bitmap);
  // True colour, so that every pixel of the transparent colour is left out
  // whatever index it came from, and drawing needs no palette.
  const BITMAPINFO target = TrueColorInfo(bitmap.Width(), bitmap.Height());
  void* bits = nullptr;
  UniqueBitmap handle(CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!handle) return {};
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc || SetDIBits(dc.Get(), handle.Get(), 0, static_cast<UINT>(bitmap.Height()), bitmap.PixelRows().data(),
                       reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS) == 0)
    return {};
  GdiFlush();
  return handle;
}

TBitmap BitmapFromHandle(HBITMAP handle) {
  BITMAP facts{};
  if (!handle || GetObject(handle, sizeof facts, &facts) == 0) return TBitmap();
  if (facts.bmWidth <= 0 || facts.bmHeight <= 0 ||
      std::int64_t{facts.bmWidth} * facts.bmHeight > kMostDevicePixels)
    return TBitmap();
  BITMAPINFO info = TrueColorInfo(facts.bmWidth, facts.bmHeight);
  const std::optional<gif::TBitmapLayout> layout = gif::PlanBitmapFile(facts.bmWidth, facts.bmHeight, 32);
  if (!layout) return TBitmap();
  TBitmap bitmap(gif::NewBitmapFile(*layout, {}), *layout);
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc || GetDIBits(dc.Get(), handle, 0, static_cast<UINT>(facts.bmHeight), bitmap.PixelRows().data(), &info,
                       DIB_RGB_COLORS) == 0)
    return TBitmap();
  return bitmap;
}

TGifGraphic::TGifGraphic(const TStoredPicture& picture) : image_(gif::ReadGIFImage(picture.Data)) {}

void TGifGraphic::DrawInto(HDC dc, const RECT& target) {
  // Called while a window paints: a picture that cannot be drawn shows
  // nothing, and says why in debug output, rather than ending the program.
  try {
    const gif::TShownFrame shown = image_.FrameToDraw();
    HBITMAP frame = shown.Bitmap ? DeviceBitmap(*shown.Bitmap) : nullptr;
    if (!frame) return;
    const RECT source{0, 0, shown.Bitmap->Width(), shown.Bitmap->Height()};
    const SIZE size{target.right - target.left, target.bottom - target.top};
    if (size.cx != source.right || size.cy != source.bottom) {
      if (HBITMAP scaled = ScaledBitmap(shown, frame, size))
        DrawScaled(dc, target, scaled, shown.TransparentColor != clNone);
      return;
    }
    if (shown.TransparentColor == clNone) StretchOpaque(dc, target, frame, source);
    else TransparentStretch(dc, target, frame, nullptr, source, shown.TransparentColor);
  } catch (const std::exception& failure) {
    WriteDebugLine("drawing a picture", failure.what());
  }
}

// The picture is const, so its shown frame is the same at every draw: only
// the size a scaled copy was made for can change (a move to another scale).
HBITMAP TGifGraphic::DeviceBitmap(const TBitmap& frame) {
  if (!device_) device_ = MakeDeviceBitmap(frame);
  return device_.Get();
}

HBITMAP TGifGraphic::ScaledBitmap(const gif::TShownFrame& shown, HBITMAP frame, SIZE size) {
  if (!scaled_ || scaledSize_.cx != size.cx || scaledSize_.cy != size.cy) {
    scaled_ = MakeScaledBitmap(frame, shown.TransparentColor, size);
    scaledSize_ = size;
  }
  return scaled_.Get();
}

const std::vector<TPictureFileFormat>& RegisteredPictureFormats() { return PictureFormatList(); }

UINT GifClipboardFormat() {
  static const UINT format = RegisterClipboardFormatA(kGifClipboardFormatName);
  return format;
}

void RegisterGIFImage() {
  RegisterGraphicClass(kGifClassName,
                       [](const TStoredPicture& picture) { return std::make_unique<TGifGraphic>(picture); });
  auto& formats = PictureFormatList();
  const bool known = std::any_of(formats.begin(), formats.end(),
                                 [](const TPictureFileFormat& format) { return format.Extension == kGifFileExtension; });
  if (!known) formats.push_back({kGifFileExtension, kGifFormatDescription, kGifClassName});
  GifClipboardFormat();
}

TGIFImage LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE) {
  const UINT gifFormat = GifClipboardFormat();
  HANDLE gifData = gifFormat && IsClipboardFormatAvailable(gifFormat) ? GetClipboardData(gifFormat) : nullptr;
  if (!gifData) {
    // Not GIF data: a bitmap, which only an empty one can become.
    if (format == CF_BITMAP && !BitmapFromHandle(static_cast<HBITMAP>(data)).Empty())
      throw gif::EInvalidGraphicOperation(gif::kEncodingRefusedMessage);
    return TGIFImage();
  }
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(gifData));
  if (!bytes) throw EReadError();
  const auto copy = std::make_shared<const std::vector<std::uint8_t>>(bytes, bytes + GlobalSize(gifData));
  GlobalUnlock(gifData);
  TByteCursor stored(*copy);
  gif::TGIFReading reading = gif::ReadStoredGIF(copy, stored);
  if (reading.Failure) std::rethrow_exception(reading.Failure);
  if (IsClipboardFormatAvailable(CF_BITMAP)) {
    TBitmap shown = BitmapFromHandle(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
    if (!shown.Empty()) reading.Image.SetShownBitmap(std::move(shown));
  }
  return std::move(reading.Image);
}

std::optional<TGIFImage> LoadFromClipboard(HWND owner) {
  TClipboardSession clipboard(owner);
  if (!clipboard.IsOpen()) return std::nullopt;
  HANDLE bitmap = IsClipboardFormatAvailable(CF_BITMAP) ? GetClipboardData(CF_BITMAP) : nullptr;
  return LoadFromClipboardFormat(CF_BITMAP, bitmap, nullptr);
}

}  // namespace quickintro
