#include "gif_picture.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "frame_format.h"
#include "graphic_error.h"
#include "transparent_stretch.h"
#include "win32_handles.h"

namespace quickintro::gif {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
// Larger system bitmaps are not made: a damaged size must not take all memory.
constexpr std::int64_t kMostDevicePixels = std::int64_t{1} << 26;

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (std::uint32_t{bytes[at + 3]} << 24);
}

void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The system bitmap kept with a decoded frame.
class GdiImage final : public TBitmap::DeviceImage {
 public:
  explicit GdiImage(HBITMAP handle) : handle_(handle) {}
  HBITMAP get() const { return handle_.Get(); }

 private:
  UniqueBitmap handle_;
};

class ClipboardSession {
 public:
  explicit ClipboardSession(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ClipboardSession() {
    if (open_) CloseClipboard();
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  bool open() const { return open_; }

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

// The information header and colour table of a bitmap file, copied to
// storage aligned for BITMAPINFO; empty when the file does not hold them
// and all its pixel rows.
std::vector<std::uint32_t> CheckedBitmapInfo(const TBitmap& bitmap) {
  const std::vector<std::uint8_t>& file = bitmap.File();
  const std::uint32_t pixelsAt = Le32(file, 10);
  const std::uint32_t headerSize = Le32(file, kFileHeaderSize);
  const std::uint32_t bits = file[28] | (file[29] << 8);
  const std::uint32_t compression = Le32(file, 30);
  if (pixelsAt < kFileHeaderSize + headerSize || pixelsAt > file.size() || compression != BI_RGB) return {};
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return {};
  const std::uint64_t rows = DibStride(static_cast<int>(bits), static_cast<std::size_t>(bitmap.Width())) *
                             static_cast<std::uint64_t>(bitmap.Height());
  if (rows > file.size() - pixelsAt) return {};
  std::vector<std::uint32_t> info((pixelsAt - kFileHeaderSize + 3) / 4);
  std::memcpy(info.data(), file.data() + kFileHeaderSize, pixelsAt - kFileHeaderSize);
  return info;
}

std::vector<PictureFileFormat>& PictureFormatList() {
  static std::vector<PictureFileFormat> formats;
  return formats;
}

}  // namespace

HBITMAP DeviceBitmapOf(const TBitmap& bitmap) {
  if (bitmap.Empty() || bitmap.Width() <= 0 || bitmap.Height() <= 0) return nullptr;
  if (std::int64_t{bitmap.Width()} * bitmap.Height() > kMostDevicePixels) return nullptr;
  if (const auto* kept = dynamic_cast<const GdiImage*>(bitmap.Device())) return kept->get();
  const std::vector<std::uint32_t> info = CheckedBitmapInfo(bitmap);
  if (info.empty()) return nullptr;
  // True colour, so that every pixel of the transparent colour is left out
  // whatever index it came from, and drawing needs no palette.
  const BITMAPINFO target = TrueColorInfo(bitmap.Width(), bitmap.Height());
  void* bits = nullptr;
  HBITMAP handle = CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!handle) return nullptr;
  auto image = std::make_unique<GdiImage>(handle);
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  const std::uint8_t* pixels = bitmap.File().data() + Le32(bitmap.File(), 10);
  if (!dc || SetDIBits(dc.Get(), handle, 0, static_cast<UINT>(bitmap.Height()), pixels,
                reinterpret_cast<const BITMAPINFO*>(info.data()), DIB_RGB_COLORS) == 0)
    return nullptr;
  GdiFlush();
  bitmap.AttachDevice(std::move(image));
  return handle;
}

TBitmap BitmapFromHandle(HBITMAP handle) {
  BITMAP facts{};
  if (!handle || GetObject(handle, sizeof facts, &facts) == 0) return TBitmap();
  if (facts.bmWidth <= 0 || facts.bmHeight <= 0 ||
      std::int64_t{facts.bmWidth} * facts.bmHeight > kMostDevicePixels)
    return TBitmap();
  BITMAPINFO info = TrueColorInfo(facts.bmWidth, facts.bmHeight);
  const std::size_t pixelBytes = static_cast<std::size_t>(facts.bmWidth) * 4 * static_cast<std::size_t>(facts.bmHeight);
  const std::size_t headers = kFileHeaderSize + kInfoHeaderSize;
  std::vector<std::uint8_t> file(headers + pixelBytes);
  UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc || GetDIBits(dc.Get(), handle, 0, static_cast<UINT>(facts.bmHeight), file.data() + headers, &info,
                       DIB_RGB_COLORS) == 0)
    return TBitmap();
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 2, static_cast<std::uint32_t>(file.size()));
  PutLe32(file, 10, static_cast<std::uint32_t>(headers));
  std::memcpy(file.data() + kFileHeaderSize, &info.bmiHeader, kInfoHeaderSize);
  return TBitmap(std::move(file));
}

void DcCanvas::StretchDraw(const DrawRect& rect, const TBitmap& bitmap) {
  HBITMAP handle = DeviceBitmapOf(bitmap);
  if (!handle) return;
  UniqueMemoryDc source(CreateCompatibleDC(dc_));
  if (!source) return;
  SelectedObject selection(source.Get(), handle);
  const int oldMode = SetStretchBltMode(dc_, COLORONCOLOR);
  StretchBlt(dc_, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source.Get(), 0, 0,
             bitmap.Width(), bitmap.Height(), SRCCOPY);
  if (oldMode) SetStretchBltMode(dc_, oldMode);
}

void DcCanvas::TransparentStretchDraw(const DrawRect& rect, const TBitmap& bitmap, std::uint32_t transparentColor) {
  HBITMAP handle = DeviceBitmapOf(bitmap);
  if (!handle) return;
  const RECT destination{rect.left, rect.top, rect.right, rect.bottom};
  const RECT source{0, 0, bitmap.Width(), bitmap.Height()};
  TransparentStretch(dc_, destination, handle, nullptr, source, transparentColor);
}

GifGraphic::GifGraphic(const StoredPicture& picture) {
  SharedBytes data = picture.data ? picture.data : std::make_shared<const std::vector<std::uint8_t>>();
  std::span<const std::uint8_t> file(*data);
  // The layout reader may hand over the stored form (the length, then the
  // file) or the file alone, whose signature can never read as its length.
  if (file.size() >= 4 && Le32(*data, 0) == file.size() - 4) file = file.subspan(4);
  image_.ParseGif(std::move(data), file, true);
}

void GifGraphic::DrawInto(HDC dc, const RECT& target) {
  // Called while a window paints: a picture that cannot be drawn shows
  // nothing rather than ending the program.
  try {
    DcCanvas canvas(dc);
    image_.DrawInto(canvas, DrawRect{target.left, target.top, target.right, target.bottom});
  } catch (const std::exception&) {
  }
}

const std::vector<PictureFileFormat>& RegisteredPictureFormats() { return PictureFormatList(); }

UINT GifClipboardFormat() {
  static const UINT format = RegisterClipboardFormatA(kGifClipboardFormatName);
  return format;
}

void RegisterGIFImage() {
  RegisterGraphicClass(kGifClassName,
                       [](const StoredPicture& picture) { return std::make_unique<GifGraphic>(picture); });
  auto& formats = PictureFormatList();
  const bool known = std::any_of(formats.begin(), formats.end(),
                                 [](const PictureFileFormat& format) { return format.extension == kGifFileExtension; });
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
  ClipboardSession clipboard(owner);
  if (!clipboard.open()) return false;
  HANDLE bitmap = IsClipboardFormatAvailable(CF_BITMAP) ? GetClipboardData(CF_BITMAP) : nullptr;
  LoadFromClipboardFormat(image, CF_BITMAP, bitmap, nullptr);
  return true;
}

}  // namespace quickintro::gif
