#pragma once
// The wizard window's layout as data: the item model and the reader of the
// "TQUICKFORM" resource. Platform-free.
//
// Resource format (all integers little-endian):
//
//   layout   := magic "QFL1", u16 item count, item records
//   item     := u8 kind (ItemKind)
//               str8 name
//               u16 parent (index of an earlier item; 0xFFFF for the form,
//                   which is the first item and the only one without parent)
//               i16 left, i16 top, i16 width, i16 height
//               u32 flags (ItemFlag bits)
//               i16 tab order (-1: none)
//               u8 alignment (Alignment)
//               u8 style (shapes: ShapeStyle; frames: BevelStyle; else 0)
//               u32 colour
//               font := str8 face, u8 height in pixels, u8 FontStyle bits,
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
// byte); kNoColor (0x1FFFFFFF) means none.
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quickintro {

enum class ItemKind : uint8_t {
  Form = 0,
  Notebook = 1,  // TNotebook, the page container
  Page = 2,      // TPage
  Image = 3,     // TImage, a picture
  Label = 4,     // TLabel
  Shape = 5,     // TShape
  Bevel = 6,     // TBevel, a frame
  Button = 7,    // TButton, a push button
  RadioButton = 8,
};
constexpr uint8_t kItemKindCount = 9;

// Layout kind names as used in the layout text.
std::string_view KindName(ItemKind kind);

namespace ItemFlag {
constexpr uint32_t Visible = 1u << 0;
constexpr uint32_t Enabled = 1u << 1;
constexpr uint32_t AutoSize = 1u << 2;
constexpr uint32_t Center = 1u << 3;       // picture placed in the item's middle
constexpr uint32_t Transparent = 1u << 4;
constexpr uint32_t WordWrap = 1u << 5;
constexpr uint32_t Checked = 1u << 6;
constexpr uint32_t Default = 1u << 7;      // the button Enter presses
constexpr uint32_t Cancel = 1u << 8;       // the button Escape presses
constexpr uint32_t TabStop = 1u << 9;
constexpr uint32_t Topmost = 1u << 10;     // form: always on top
constexpr uint32_t ScreenCenter = 1u << 11;  // form: centred when shown
}  // namespace ItemFlag

enum class Alignment : uint8_t { Left = 0, Center = 1, Right = 2 };
enum class ShapeStyle : uint8_t { SolidFill = 0, NoFill = 1 };
enum class BevelStyle : uint8_t { LoweredBox = 0, EtchedFrame = 1 };

namespace FontStyle {
constexpr uint8_t Bold = 1u << 0;
constexpr uint8_t Italic = 1u << 1;
constexpr uint8_t Underline = 1u << 2;
}  // namespace FontStyle

constexpr uint32_t kNoColor = 0x1FFFFFFF;
constexpr uint32_t kSystemColorBit = 0x80000000;
constexpr bool IsSystemColor(uint32_t color) { return (color & kSystemColorBit) != 0; }

struct LayoutFont {
  std::string face;
  int height = 0;  // pixels at 96 dots per inch
  uint8_t style = 0;
  uint32_t color = 0;
  bool operator==(const LayoutFont&) const = default;
};

struct EventBinding {
  std::string event;    // "OnClick", "OnCreate", "OnShow", "OnClose", "OnPageChanged"
  std::string handler;  // a handler of TQuickForm, e.g. "NextBtnClick"
};

// A picture as stored: its class name and the file that class reads (the
// byte count already taken off). The bytes are shared, so items and graphics can hold them without copying.
struct StoredPicture {
  std::string className;
  std::shared_ptr<const std::vector<uint8_t>> data;
};

constexpr uint16_t kNoParent = 0xFFFF;

struct LayoutItem {
  ItemKind kind = ItemKind::Form;
  std::string name;
  int parent = -1;  // index into FormLayout::items; -1 for the form
  int left = 0, top = 0, width = 0, height = 0;
  uint32_t flags = 0;
  int tabOrder = -1;
  Alignment alignment = Alignment::Left;
  uint8_t style = 0;
  uint32_t color = kNoColor;
  LayoutFont font;
  std::string text;
  std::vector<EventBinding> bindings;
  bool hasPicture = false;
  StoredPicture picture;

  bool Has(uint32_t flag) const { return (flags & flag) != 0; }
  // The handler bound to an event, or an empty view.
  std::string_view HandlerFor(std::string_view event) const;
};

struct FormLayout {
  std::vector<LayoutItem> items;  // items[0] is the form

  // Index of the item with that name, or -1.
  int IndexOf(std::string_view name) const;
  const LayoutItem& Get(std::string_view name) const;  // throws ELayoutError
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
FormLayout ReadFormLayout(std::span<const uint8_t> data);

}  // namespace quickintro
