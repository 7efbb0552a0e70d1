#pragma once
// Pictures on the wizard's pages. A picture item keeps its stored data; a
// picture class registered under the stored class name ("TGIFImage") turns
// that data into a TGraphic that can measure and draw itself. Without a
// registered class the item keeps its data and shows nothing.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "quickintro/form_layout.h"

namespace quickintro {

// An abstract picture: its natural size and how it draws into a rectangle.
class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual int PixelWidth() const = 0;
  virtual int PixelHeight() const = 0;
  // Draws the picture into target; transparent parts leave what lies beneath.
  virtual void DrawInto(HDC dc, const RECT& target) = 0;
};

// Makes a graphic from a picture's stored data (the file that follows the
// class name and the byte count); throws when the data cannot be read.
using GraphicFactory = std::function<std::unique_ptr<TGraphic>(const TStoredPicture& picture)>;

// Registers a picture class; done once at program start, before the window
// is created. A later registration of the same name replaces the earlier.
void RegisterGraphicClass(std::string className, GraphicFactory factory);
void UnregisterGraphicClass(std::string_view className);

// The graphic for a stored picture, or null when no class of that name is
// registered.
std::unique_ptr<TGraphic> CreateGraphic(const TStoredPicture& picture);

}  // namespace quickintro
