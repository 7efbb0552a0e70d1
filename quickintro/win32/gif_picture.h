#pragma once
// The GIF picture on Windows: the wizard's picture class "TGIFImage", which
// reads its picture through the platform-free reader in gif/ and draws the
// frame that reader decodes with GDI, and loading from the clipboard. Win32.

#include <windows.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "quickintro/gif/gif_image.h"
#include "quickintro/win32/graphic.h"
#include "quickintro/win32/win32_handles.h"

namespace quickintro {

using gif::TBitmap;
using gif::TGIFImage;

inline constexpr const char* kGifClassName = "TGIFImage";
inline constexpr const char* kGifFileExtension = "gif";
inline constexpr const char* kGifFormatDescription = "CompuServe GIF Image";
inline constexpr const char* kGifClipboardFormatName = "GIF Image";

// A picture file format the program can read: its file name extension, its
// description and the picture class that reads it.
struct TPictureFileFormat {
  std::string Extension;
  std::string Description;
  std::string ClassName;
};

// Registers "TGIFImage" with the wizard's picture container, the file
// format "gif" and the clipboard format "GIF Image". Done once at program
// start, before the window is created.
void RegisterGIFImage();
const std::vector<TPictureFileFormat>& RegisteredPictureFormats();
// The system's number for "GIF Image"; 0 when it could not be registered.
UINT GifClipboardFormat();

// A true-colour system bitmap with the pixels of a decoded frame; null for
// an empty bitmap or when the system has no room for it.
UniqueBitmap MakeDeviceBitmap(const TBitmap& bitmap);

// A bitmap file of 32 bits per pixel with the pixels of a system bitmap;
// an empty bitmap when it cannot be read.
TBitmap BitmapFromHandle(HBITMAP handle);

// The wizard's picture of class "TGIFImage": reads its GIF file through the
// reader's one door, which decodes the shown frame at once, so a damaged
// picture fails while the layout is read, not while it is painted. Drawing
// takes that frame and draws it: at its own size through TransparentStretch
// where it has a transparent colour; at any other size (a scaled display)
// scaled by area (picture_scaling.h) and blended by the alpha its
// transparent colour gives. The frame's system bitmap and its scaled copy
// are made on the first draw and kept.
class TGifGraphic final : public TGraphic {
 public:
  explicit TGifGraphic(const TStoredPicture& picture);
  int PixelWidth() const override { return image_.PixelWidth(); }
  int PixelHeight() const override { return image_.PixelHeight(); }
  void DrawInto(HDC dc, const RECT& target) override;
  const TGIFImage& Image() const { return image_; }

 private:
  HBITMAP DeviceBitmap(const TBitmap& frame);
  HBITMAP ScaledBitmap(const gif::TShownFrame& shown, HBITMAP frame, SIZE size);

  const TGIFImage image_;
  UniqueBitmap device_;
  UniqueBitmap scaled_;
  SIZE scaledSize_{};  // the size scaled_ was made for
};

// A picture from the clipboard, which the caller has opened: the "GIF Image"
// data when there are any, not decoded (a bitmap also there becomes the
// shown frame's image), else the given data as a bitmap, which only an
// empty one can be. Fails with the reader's message.
TGIFImage LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
// Opens the clipboard and loads from it; nothing when it could not be opened.
std::optional<TGIFImage> LoadFromClipboard(HWND owner);

}  // namespace quickintro
