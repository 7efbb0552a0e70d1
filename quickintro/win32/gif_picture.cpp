#include "quickintro/win32/gif_picture.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "quickintro/gif/bitmap_file.h"
#include "quickintro/gif/graphic_error.h"
#include "quickintro/gif/little_endian.h"
#include "quickintro/win32/transparent_stretch.h"
#include "quickintro/win32/win32_handles.h"

namespace quickintro {
namespace {

using gif::EReadError;
using gif::SharedBytes;

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
  const gif::TBitmapLayout& layout = bitmap.Layout();
  const std::size_t size = layout.PixelOffset - layout.InfoOffset;
  std::vector<std::uint32_t> info((size + 3) / 4);
  std::memcpy(info.data(), bitmap.File().data() + layout.InfoOffset, size);
  return info;
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
  const std::uint8_t* pixels = bitmap.File().data() + bitmap.Layout().PixelOffset;
  if (!dc || SetDIBits(dc.Get(), handle.Get(), 0, static_cast<UINT>(bitmap.Height()), pixels,
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
  std::vector<std::uint8_t> file = gif::NewBitmapFile(facts.bmWidth, facts.bmHeight, 32, {});
  const std::size_t pixelOffset = gif::ReadBitmapLayout(file)->PixelOffset;
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc || GetDIBits(dc.Get(), handle, 0, static_cast<UINT>(facts.bmHeight), file.data() + pixelOffset, &info,
                       DIB_RGB_COLORS) == 0)
    return TBitmap();
  return TBitmap(std::move(file));
}

TGifGraphic::TGifGraphic(const TStoredPicture& picture) {
  SharedBytes data = picture.Data ? picture.Data : std::make_shared<const std::vector<std::uint8_t>>();
  std::span<const std::uint8_t> file(*data);
  // The layout reader may hand over the stored form (the length, then the
  // file) or the file alone, whose signature can never read as its length.
  if (file.size() >= 4 && ReadLe32(file, 0) == file.size() - 4) file = file.subspan(4);
  image_.ParseGif(std::move(data), file, true);
}

void TGifGraphic::DrawInto(HDC dc, const RECT& target) {
  // Called while a window paints: a picture that cannot be drawn shows
  // nothing rather than ending the program.
  try {
    const gif::TShownFrame shown = image_.FrameToDraw();
    HBITMAP frame = shown.Bitmap ? DeviceBitmap(*shown.Bitmap) : nullptr;
    if (!frame) return;
    const RECT source{0, 0, shown.Bitmap->Width(), shown.Bitmap->Height()};
    if (shown.TransparentColor == clNone) StretchOpaque(dc, target, frame, source);
    else TransparentStretch(dc, target, frame, nullptr, source, shown.TransparentColor);
  } catch (const std::exception&) {
  }
}

HBITMAP TGifGraphic::DeviceBitmap(const TBitmap& frame) {
  if (deviceOf_ != &frame || !device_) {
    device_ = MakeDeviceBitmap(frame);
    deviceOf_ = &frame;
  }
  return device_.Get();
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

void LoadFromClipboardFormat(TGIFImage& image, UINT format, HANDLE data, HPALETTE) {
  const UINT gifFormat = GifClipboardFormat();
  HANDLE gifData = gifFormat && IsClipboardFormatAvailable(gifFormat) ? GetClipboardData(gifFormat) : nullptr;
  if (!gifData) {
    // Not GIF data: as a bitmap, which only an empty one can become.
    image.CopyFrom(format == CF_BITMAP ? BitmapFromHandle(static_cast<HBITMAP>(data)) : TBitmap());
    return;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(GlobalLock(gifData));
  if (!bytes) throw EReadError();
  const std::vector<std::uint8_t> copy(bytes, bytes + GlobalSize(gifData));
  GlobalUnlock(gifData);
  TBitmap shown;
  if (IsClipboardFormatAvailable(CF_BITMAP)) shown = BitmapFromHandle(static_cast<HBITMAP>(GetClipboardData(CF_BITMAP)));
  image.LoadFromClipboardData(copy, shown.Empty() ? nullptr : &shown);
}

bool LoadFromClipboard(TGIFImage& image, HWND owner) {
  TClipboardSession clipboard(owner);
  if (!clipboard.IsOpen()) return false;
  HANDLE bitmap = IsClipboardFormatAvailable(CF_BITMAP) ? GetClipboardData(CF_BITMAP) : nullptr;
  LoadFromClipboardFormat(image, CF_BITMAP, bitmap, nullptr);
  return true;
}

}  // namespace quickintro
