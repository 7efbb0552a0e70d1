#pragma once
// The wizard window's layout as data: the item model and the reader of the
// "TQUICKFORM" resource. Platform-free.
//
// Resource format (all integers little-endian):
//
//   layout   := magic "QFL1", u16 item count, item records
//   item     := u8 kind (TItemKind)
//               str8 name
//               u16 parent (index of an earlier item; 0xFFFF for the form,
//                   which is the first item and the only one without parent)
//               i16 left, i16 top, i16 width, i16 height
//               u32 flags (TItemFlag bits)
//               i16 tab order (-1: none)
//               u8 alignment (TAlignment)
//               u8 style (shapes: TShapeStyle; frames: TBevelStyle; else 0)
//               u32 colour
//               font := str8 face, u8 height in pixels, u8 TFontStyle bits,
//                       u32 colour
//               str16 text (captions and label texts; CR LF breaks lines)
//               u8 binding count, then per binding: str8 event, str8 handler
//               u8 picture present (0 or 1); when 1: the stored picture
//   picture  := u8 class-name length, class name ("TGIFImage" for page
//               pictures, "TIcon" for the window icon), u32 byte count,
//               that many bytes (a complete GIF or icon file)
//   str8     := u8 length, bytes;  str16 := u16 length, bytes
//
// Siblings are listed bottom first: their order is the stacking order. A page
// is a TPage item whose parent is the notebook; its name is the page name.
//
// Colours are 32-bit values with red in the low byte, then green, then blue.
// A value with the top bit set names a system colour by its index (the low
// byte); clNone (0x1FFFFFFF) means none (color_value.h).
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "quickintro/gif/color_value.h"

namespace quickintro {

enum TItemKind : uint8_t {
  ikForm = 0,
  ikNotebook = 1,  // TNotebook, the page container
  ikPage = 2,      // TPage
  ikImage = 3,     // TImage, a picture
  ikLabel = 4,     // TLabel
  ikShape = 5,     // TShape
  ikBevel = 6,     // TBevel, a frame
  ikButton = 7,    // TButton, a push button
  ikRadioButton = 8,
};
constexpr uint8_t kItemKindCount = 9;

enum TItemFlag : uint32_t {
  ifVisible = 1u << 0,
  ifEnabled = 1u << 1,
  ifAutoSize = 1u << 2,
  ifCenter = 1u << 3,  // picture placed in the item's middle
  ifTransparent = 1u << 4,
  ifWordWrap = 1u << 5,
  ifChecked = 1u << 6,
  ifDefault = 1u << 7,  // the button Enter presses
  ifCancel = 1u << 8,   // the button Escape presses
  ifTabStop = 1u << 9,
  ifTopmost = 1u << 10,       // form: always on top
  ifScreenCenter = 1u << 11,  // form: centred when shown
};

enum TAlignment : uint8_t { alLeft = 0, alCenter = 1, alRight = 2 };
enum TShapeStyle : uint8_t { ssSolidFill = 0, ssNoFill = 1 };
enum TBevelStyle : uint8_t { bsLoweredBox = 0, bsEtchedFrame = 1 };
enum TFontStyle : uint8_t { fsBold = 1u << 0, fsItalic = 1u << 1, fsUnderline = 1u << 2 };

struct TLayoutFont {
  std::string Face;
  int Height = 0;  // pixels at 96 dots per inch
  uint8_t Style = 0;
  uint32_t Color = 0;
  bool operator==(const TLayoutFont&) const = default;
};

struct TEventBinding {
  std::string Event;    // "OnClick", "OnCreate", "OnShow", "OnClose", "OnPageChanged"
  std::string Handler;  // a handler of TQuickForm, e.g. "NextBtnClick"
};

// A picture as stored: its class name and the file that class reads (the
// byte count already taken off). The bytes are shared, so items and graphics can hold them without copying.
struct TStoredPicture {
  std::string ClassName;
  std::shared_ptr<const std::vector<uint8_t>> Data;
};

constexpr uint16_t kNoParent = 0xFFFF;

struct TLayoutItem {
  TItemKind Kind = ikForm;
  std::string Name;
  int Parent = -1;  // index into TFormLayout::Items; -1 for the form
  int Left = 0, Top = 0, Width = 0, Height = 0;
  uint32_t Flags = 0;
  int TabOrder = -1;
  TAlignment Align = alLeft;
  uint8_t Style = 0;
  uint32_t Color = clNone;
  TLayoutFont Font;
  std::string Text;
  std::vector<TEventBinding> Bindings;
  bool HasPicture = false;
  TStoredPicture Picture;

  bool Has(uint32_t flag) const { return (Flags & flag) != 0; }
  // The handler bound to an event, or an empty view.
  std::string_view HandlerFor(std::string_view event) const;
};

struct TFormLayout {
  std::vector<TLayoutItem> Items;  // Items[0] is the form

  // Index of the item with that name, or -1.
  int IndexOf(std::string_view name) const;
  const TLayoutItem& Get(std::string_view name) const;  // throws ELayoutError
  // Indexes of an item's children, bottom of the stacking order first.
  std::vector<int> ChildrenOf(int parent) const;
  // Indexes of the notebook's pages in page order.
  std::vector<int> Pages() const;
};

// Damaged or inconsistent layout data.
class ELayoutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the layout resource; throws ELayoutError when the data is cut short,
// has bytes left over, or names an impossible kind or parent.
TFormLayout ReadFormLayout(std::span<const uint8_t> data);

}  // namespace quickintro
