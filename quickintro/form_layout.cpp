#include "quickintro/form_layout.h"

#include <cstring>
#include <optional>

#include "quickintro/gif/byte_cursor.h"

namespace quickintro {
namespace {

// The resource's fields, read through a byte cursor; each is named for the
// message that tells where the data end.
class TLayoutFields {
 public:
  explicit TLayoutFields(std::span<const uint8_t> data) : in_(data) {}

  size_t Left() const { return in_.Remaining(); }
  std::span<const uint8_t> Bytes(size_t count, const char* what) { return Must(in_.Take(count), what); }
  uint8_t U8(const char* what) { return static_cast<uint8_t>(Must(in_.TakeLe(1), what)); }
  uint16_t U16(const char* what) { return static_cast<uint16_t>(Must(in_.TakeLe(2), what)); }
  uint32_t U32(const char* what) { return Must(in_.TakeLe(4), what); }
  int I16(const char* what) { return static_cast<int16_t>(U16(what)); }
  std::string Str8(const char* what) { return Text(U8(what), what); }
  std::string Str16(const char* what) { return Text(U16(what), what); }

 private:
  template <typename T>
  static T Must(std::optional<T> field, const char* what) {
    if (!field) throw ELayoutError(std::string("layout data ends inside ") + what);
    return *field;
  }
  std::string Text(size_t length, const char* what) {
    std::span<const uint8_t> bytes = Bytes(length, what);
    return std::string(bytes.begin(), bytes.end());
  }

  TByteCursor in_;
};

TLayoutFont ReadFont(TLayoutFields& in) {
  TLayoutFont font;
  font.Face = in.Str8("a font name");
  font.Height = in.U8("a font");
  font.Style = in.U8("a font");
  font.Color = in.U32("a font");
  return font;
}

std::vector<TEventBinding> ReadBindings(TLayoutFields& in) {
  std::vector<TEventBinding> bindings(in.U8("the handler bindings"));
  for (TEventBinding& binding : bindings) {
    binding.Event = in.Str8("an event name");
    binding.Handler = in.Str8("a handler name");
  }
  return bindings;
}

TStoredPicture ReadPicture(TLayoutFields& in) {
  TStoredPicture picture;
  picture.ClassName = in.Str8("a picture class name");
  uint32_t count = in.U32("a picture length");
  std::span<const uint8_t> bytes = in.Bytes(count, "a picture");
  picture.Data = std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
  return picture;
}

int ReadParent(TLayoutFields& in, size_t ownIndex) {
  uint16_t parent = in.U16("an item's parent");
  if (ownIndex == 0) {
    if (parent != kNoParent) throw ELayoutError("the form has a parent");
    return -1;
  }
  if (parent >= ownIndex) throw ELayoutError("an item's parent does not precede it");
  return parent;
}

TLayoutItem ReadItem(TLayoutFields& in, size_t ownIndex) {
  TLayoutItem item;
  uint8_t kind = in.U8("an item kind");
  if (kind >= kItemKindCount) throw ELayoutError("unknown item kind " + std::to_string(kind));
  item.Kind = static_cast<TItemKind>(kind);
  if ((item.Kind == ikForm) != (ownIndex == 0)) throw ELayoutError("the form must come first, once");
  item.Name = in.Str8("an item name");
  item.Parent = ReadParent(in, ownIndex);
  item.Left = in.I16("an item's bounds");
  item.Top = in.I16("an item's bounds");
  item.Width = in.I16("an item's bounds");
  item.Height = in.I16("an item's bounds");
  item.Flags = in.U32("an item's flags");
  item.TabOrder = in.I16("an item's tab order");
  uint8_t alignment = in.U8("an item's alignment");
  if (alignment > static_cast<uint8_t>(alRight)) throw ELayoutError("unknown alignment");
  item.Align = static_cast<TAlignment>(alignment);
  item.Style = in.U8("an item's style");
  item.Color = in.U32("an item's colour");
  item.Font = ReadFont(in);
  item.Text = in.Str16("an item's text");
  item.Bindings = ReadBindings(in);
  item.HasPicture = in.U8("the picture flag") != 0;
  if (item.HasPicture) item.Picture = ReadPicture(in);
  return item;
}

}  // namespace

std::string_view TLayoutItem::HandlerFor(std::string_view event) const {
  for (const TEventBinding& binding : Bindings)
    if (binding.Event == event) return binding.Handler;
  return {};
}

int TFormLayout::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].Name == name) return static_cast<int>(i);
  return -1;
}

const TLayoutItem& TFormLayout::Get(std::string_view name) const {
  int index = IndexOf(name);
  if (index < 0) throw ELayoutError("the layout has no item " + std::string(name));
  return Items[static_cast<size_t>(index)];
}

std::vector<int> TFormLayout::ChildrenOf(int parent) const {
  std::vector<int> children;
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].Parent == parent) children.push_back(static_cast<int>(i));
  return children;
}

std::vector<int> TFormLayout::Pages() const {
  std::vector<int> pages;
  for (size_t i = 0; i < Items.size(); ++i)
    if (Items[i].Kind == ikPage) pages.push_back(static_cast<int>(i));
  return pages;
}

TFormLayout ReadFormLayout(std::span<const uint8_t> data) {
  TLayoutFields in(data);
  std::span<const uint8_t> magic = in.Bytes(4, "the signature");
  if (std::memcmp(magic.data(), "QFL1", 4) != 0) throw ELayoutError("not a layout: bad signature");
  TFormLayout layout;
  size_t count = in.U16("the item count");
  if (count == 0) throw ELayoutError("the layout has no form");
  layout.Items.reserve(count);
  for (size_t i = 0; i < count; ++i) layout.Items.push_back(ReadItem(in, i));
  if (in.Left() != 0) throw ELayoutError("layout data has " + std::to_string(in.Left()) + " bytes left over");
  return layout;
}

}  // namespace quickintro
