// The layout reader against the compiled "TQUICKFORM" data: every item where
// the design puts it, in its stacking order, colours, fonts and texts, with
// its pictures stored as class name, length and GIF file; and damaged data
// refused without a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "form_layout.h"
#include "icon_file.h"

namespace quickintro {
namespace {

std::vector<uint8_t> CompiledLayout() {
  std::ifstream file(QUICKFORM_LAYOUT_FILE, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

class LayoutReader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    bytes_ = new std::vector<uint8_t>(CompiledLayout());
    layout_ = new FormLayout(ReadFormLayout(*bytes_));
  }
  static void TearDownTestSuite() {
    delete layout_;
    delete bytes_;
  }
  static const LayoutItem& Item(const char* name) { return layout_->Get(name); }
  static std::string ParentName(const LayoutItem& item) {
    return item.parent < 0 ? "" : layout_->items[item.parent].name;
  }
  static inline std::vector<uint8_t>* bytes_ = nullptr;
  static inline FormLayout* layout_ = nullptr;
};

struct Placement {
  const char* name;
  ItemKind kind;
  const char* parent;
  int left, top, width, height;
};

const Placement kPlacements[] = {
    {"QuickForm", ItemKind::Form, "", 0, 0, 427, 272},
    {"Bevel1", ItemKind::Bevel, "QuickForm", 15, 15, 393, 208},
    {"BackBtn", ItemKind::Button, "QuickForm", 150, 234, 82, 28},
    {"NextBtn", ItemKind::Button, "QuickForm", 232, 234, 82, 28},
    {"CloseButton", ItemKind::Button, "QuickForm", 327, 234, 82, 28},
    {"Notebook", ItemKind::Notebook, "QuickForm", 16, 16, 391, 206},
    {"MainBkg", ItemKind::Image, "Welcome", 0, 0, 393, 210},
    {"Shape25", ItemKind::Shape, "Welcome", 0, 0, 391, 206},
    {"WelcomeBkg", ItemKind::Image, "Welcome", 64, 15, 259, 59},
    {"Label8", ItemKind::Label, "Welcome", 279, 183, 107, 13},
    {"Label10", ItemKind::Label, "Welcome", 4, 99, 383, 32},
    {"DBevel", ItemKind::Bevel, "Select Tray", 208, 44, 152, 84},
    {"Shape22", ItemKind::Shape, "Select Tray", 0, 0, 391, 206},
    {"TrBevel", ItemKind::Bevel, "Select Tray", 35, 44, 152, 84},
    {"Label4", ItemKind::Label, "Select Tray", 9, 152, 375, 32},
    {"Shape13", ItemKind::Shape, "Select Tray", 209, 45, 150, 82},
    {"TrShape", ItemKind::Shape, "Select Tray", 37, 45, 150, 82},
    {"TrayClockImg", ItemKind::Image, "Select Tray", 38, 32, 148, 60},
    {"DesktopClockImg", ItemKind::Image, "Select Tray", 210, 31, 148, 60},
    {"uiDesktopClock", ItemKind::RadioButton, "Select Tray", 233, 103, 108, 17},
    {"uiTrayClock", ItemKind::RadioButton, "Select Tray", 69, 103, 89, 17},
    {"Image1", ItemKind::Image, "Open preferences", 0, 178, 391, 29},
    {"Image4", ItemKind::Image, "Open preferences", 107, 56, 179, 207},
    {"Shape4", ItemKind::Shape, "Open preferences", 12, 12, 291, 51},
    {"Shape1", ItemKind::Shape, "Open preferences", 9, 9, 292, 51},
    {"Label1", ItemKind::Label, "Open preferences", 23, 21, 269, 26},
    {"Shape24", ItemKind::Shape, "Open preferences", 0, 0, 391, 206},
    {"Image7", ItemKind::Image, "Hide", 1, 70, 240, 138},
    {"Shape19", ItemKind::Shape, "Hide", 143, 11, 235, 50},
    {"Shape20", ItemKind::Shape, "Hide", 137, 9, 239, 49},
    {"Label7", ItemKind::Label, "Hide", 153, 20, 218, 31},
    {"Shape21", ItemKind::Shape, "Hide", 0, 0, 391, 206},
    {"Image2", ItemKind::Image, "Run at startup", 138, 0, 282, 113},
    {"Shape5", ItemKind::Shape, "Run at startup", 18, 135, 245, 57},
    {"Shape2", ItemKind::Shape, "Run at startup", 15, 131, 246, 58},
    {"Label2", ItemKind::Label, "Run at startup", 37, 140, 219, 41},
    {"Shape14", ItemKind::Shape, "Run at startup", 0, 0, 391, 206},
    {"Image3", ItemKind::Image, "Download skins", -2, -6, 204, 196},
    {"Shape16", ItemKind::Shape, "Download skins", 0, 0, 391, 206},
    {"Shape3", ItemKind::Shape, "Download skins", 156, 117, 229, 80},
    {"Shape6", ItemKind::Shape, "Download skins", 153, 113, 230, 81},
    {"Label3", ItemKind::Label, "Download skins", 170, 126, 201, 55},
    {"Image5", ItemKind::Image, "Drag n drop", -1, 78, 456, 173},
    {"Shape10", ItemKind::Shape, "Drag n drop", 98, 24, 242, 60},
    {"Shape9", ItemKind::Shape, "Drag n drop", 95, 20, 243, 61},
    {"Label5", ItemKind::Label, "Drag n drop", 115, 30, 215, 39},
    {"Shape17", ItemKind::Shape, "Drag n drop", 0, 0, 391, 206},
    {"Image6", ItemKind::Image, "Critical Days", 39, -1, 370, 112},
    {"Shape12", ItemKind::Shape, "Critical Days", 20, 127, 303, 63},
    {"Shape11", ItemKind::Shape, "Critical Days", 17, 124, 304, 64},
    {"Label6", ItemKind::Label, "Critical Days", 40, 135, 271, 52},
    {"Shape18", ItemKind::Shape, "Critical Days", 0, 0, 391, 206},
};

TEST_F(LayoutReader, EveryItemInItsPlace) {
  // The form, the notebook, eight pages and the placed items: nothing more.
  EXPECT_EQ(layout_->items.size(), std::size(kPlacements) + 8);
  for (const Placement& p : kPlacements) {
    SCOPED_TRACE(p.name);
    const LayoutItem& item = Item(p.name);
    EXPECT_EQ(item.kind, p.kind);
    EXPECT_EQ(ParentName(item), p.parent);
    EXPECT_EQ(item.left, p.left);
    EXPECT_EQ(item.top, p.top);
    EXPECT_EQ(item.width, p.width);
    EXPECT_EQ(item.height, p.height);
  }
}

TEST_F(LayoutReader, PagesInOrderAndItemsInStackingOrder) {
  const std::vector<std::vector<std::string>> kPages = {
      {"Welcome", "MainBkg", "Shape25", "WelcomeBkg", "Label8", "Label10"},
      {"Select Tray", "DBevel", "Shape22", "TrBevel", "Label4", "Shape13", "TrShape", "TrayClockImg",
       "DesktopClockImg", "uiDesktopClock", "uiTrayClock"},
      {"Open preferences", "Image1", "Image4", "Shape4", "Shape1", "Label1", "Shape24"},
      {"Hide", "Image7", "Shape19", "Shape20", "Label7", "Shape21"},
      {"Run at startup", "Image2", "Shape5", "Shape2", "Label2", "Shape14"},
      {"Download skins", "Image3", "Shape16", "Shape3", "Shape6", "Label3"},
      {"Drag n drop", "Image5", "Shape10", "Shape9", "Label5", "Shape17"},
      {"Critical Days", "Image6", "Shape12", "Shape11", "Label6", "Shape18"},
  };
  std::vector<int> pages = layout_->Pages();
  ASSERT_EQ(pages.size(), kPages.size());
  for (size_t p = 0; p < pages.size(); ++p) {
    const LayoutItem& page = layout_->items[pages[p]];
    EXPECT_EQ(page.name, kPages[p][0]);
    EXPECT_EQ(ParentName(page), "Notebook");
    std::vector<std::string> children;
    for (int child : layout_->ChildrenOf(pages[p])) children.push_back(layout_->items[child].name);
    EXPECT_EQ(children, std::vector<std::string>(kPages[p].begin() + 1, kPages[p].end()));
  }
  std::vector<std::string> formChildren;
  for (int child : layout_->ChildrenOf(0)) formChildren.push_back(layout_->items[child].name);
  EXPECT_EQ(formChildren, (std::vector<std::string>{"Bevel1", "BackBtn", "NextBtn", "CloseButton", "Notebook"}));
}

TEST_F(LayoutReader, ColoursAsStoredValues) {
  constexpr uint32_t kPageBlue = 12615680, kNoteYellow = 13303807, kCardGrey = 15198183, kBlack = 0;
  EXPECT_EQ(Item("Notebook").color, kPageBlue);
  for (const char* note : {"Shape1", "Shape20", "Shape2", "Shape6", "Shape9", "Shape11"}) {
    SCOPED_TRACE(note);
    EXPECT_EQ(Item(note).color, kNoteYellow);
    EXPECT_EQ(Item(note).style, static_cast<uint8_t>(ShapeStyle::SolidFill));
  }
  for (const char* shadow : {"Shape4", "Shape19", "Shape5", "Shape3", "Shape10", "Shape12"}) {
    SCOPED_TRACE(shadow);
    EXPECT_EQ(Item(shadow).color, kBlack);
  }
  for (const char* border : {"Shape25", "Shape22", "Shape24", "Shape21", "Shape14", "Shape16", "Shape17", "Shape18"}) {
    SCOPED_TRACE(border);
    EXPECT_EQ(Item(border).style, static_cast<uint8_t>(ShapeStyle::NoFill));
  }
  for (const char* card : {"Shape13", "TrShape", "uiDesktopClock", "uiTrayClock"}) EXPECT_EQ(Item(card).color, kCardGrey);
  EXPECT_TRUE(IsSystemColor(Item("QuickForm").color));
}

TEST_F(LayoutReader, Fonts) {
  const LayoutFont window{"MS Sans Serif", 11, 0, kSystemColorBit | 8};
  const LayoutFont page{"MS Sans Serif", 12, FontStyle::Bold, 0x000000};
  const LayoutFont heading{"MS Sans Serif", 13, FontStyle::Bold, 0xFFFFFF};
  const LayoutFont hint{"MS Sans Serif", 12, FontStyle::Bold, 13303807};
  for (const char* name : {"QuickForm", "BackBtn", "NextBtn", "CloseButton"}) EXPECT_EQ(Item(name).font, window) << name;
  for (const char* name : {"Notebook", "Label1", "Label7", "Label2", "Label3", "Label5", "Label6", "uiTrayClock",
                           "uiDesktopClock"})
    EXPECT_EQ(Item(name).font, page) << name;
  EXPECT_EQ(Item("Label10").font, heading);
  EXPECT_EQ(Item("Label4").font, heading);
  EXPECT_EQ(Item("Label8").font, hint);
}

TEST_F(LayoutReader, TextsAndLabelFormatting) {
  EXPECT_EQ(Item("QuickForm").text, "Quick Introduction to Zaradada Clock");
  EXPECT_EQ(Item("BackBtn").text, "<< Back");
  EXPECT_EQ(Item("NextBtn").text, "Next >>");
  EXPECT_EQ(Item("CloseButton").text, "Close");
  EXPECT_EQ(Item("Label10").text,
            "Here are the most important notes and hints for you\r\nto get the most from Zaradada Clock.");
  EXPECT_EQ(Item("Label4").text,
            "Please select the initial state of Zaradada Clock. \r\nYou can change it with the pop-up menu later.");
  EXPECT_EQ(Item("Label7").text, "If the floating clock is over controls, \r\nyou can hide it with one mouse click.");
  EXPECT_EQ(Item("Label4").alignment, Alignment::Center);
  EXPECT_FALSE(Item("Label4").Has(ItemFlag::WordWrap));
  EXPECT_EQ(Item("Label10").alignment, Alignment::Center);
  EXPECT_TRUE(Item("Label10").Has(ItemFlag::WordWrap));
  for (const char* note : {"Label7", "Label2", "Label3", "Label5", "Label6"}) EXPECT_TRUE(Item(note).Has(ItemFlag::WordWrap)) << note;
  EXPECT_TRUE(Item("Label1").Has(ItemFlag::AutoSize));
}

// Picture sizes, versions and the transparent flag, read from the stored GIF.
TEST_F(LayoutReader, PicturesStoredAsGifFiles) {
  const struct {
    const char* name;
    int width, height;
    const char* version;
  } kPictures[] = {
      {"MainBkg", 393, 210, "GIF89a"},      {"WelcomeBkg", 259, 59, "GIF89a"}, {"TrayClockImg", 148, 60, "GIF89a"},
      {"DesktopClockImg", 148, 60, "GIF89a"}, {"Image1", 391, 29, "GIF89a"},   {"Image4", 179, 207, "GIF89a"},
      {"Image7", 241, 138, "GIF89a"},       {"Image2", 282, 113, "GIF89a"},    {"Image3", 204, 196, "GIF89a"},
      {"Image5", 457, 173, "GIF87a"},       {"Image6", 370, 112, "GIF89a"},
  };
  size_t pictureItems = 0;
  for (const LayoutItem& item : layout_->items) pictureItems += item.kind == ItemKind::Image && item.hasPicture;
  EXPECT_EQ(pictureItems, std::size(kPictures));
  for (const auto& p : kPictures) {
    SCOPED_TRACE(p.name);
    const LayoutItem& item = Item(p.name);
    ASSERT_TRUE(item.hasPicture);
    EXPECT_EQ(item.picture.className, "TGIFImage");
    const std::vector<uint8_t>& gif = *item.picture.data;
    ASSERT_GE(gif.size(), 13u);
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), p.version);
    EXPECT_EQ(gif[6] | gif[7] << 8, p.width);
    EXPECT_EQ(gif[8] | gif[9] << 8, p.height);
    EXPECT_EQ(gif.back(), 0x3B);  // the whole file, up to its trailer
  }
}

// Each picture sits in the stream as length byte + class name, 32-bit
// little-endian count, GIF file.
TEST_F(LayoutReader, PictureStoredFormInTheResource) {
  const std::vector<uint8_t>& gif = *Item("MainBkg").picture.data;
  std::vector<uint8_t> stored = {9, 'T', 'G', 'I', 'F', 'I', 'm', 'a', 'g', 'e'};
  for (int shift = 0; shift < 32; shift += 8) stored.push_back(static_cast<uint8_t>(gif.size() >> shift));
  stored.insert(stored.end(), gif.begin(), gif.begin() + 6);
  auto found = std::search(bytes_->begin(), bytes_->end(), stored.begin(), stored.end());
  EXPECT_NE(found, bytes_->end());
}

TEST_F(LayoutReader, WindowIconIsAWholeIconFile) {
  const LayoutItem& form = Item("QuickForm");
  ASSERT_TRUE(form.hasPicture);
  EXPECT_EQ(form.picture.className, "TIcon");
  std::optional<IconImage> image = FindIconImage(*form.picture.data, 32);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width, 32);
  EXPECT_EQ(image->height, 32);
  EXPECT_EQ(image->bitCount, 8);
}

// ---- Damaged data ----

void ExpectRefused(const std::vector<uint8_t>& data, const char* why) {
  SCOPED_TRACE(why);
  EXPECT_THROW(ReadFormLayout(data), ELayoutError);
}

TEST_F(LayoutReader, CutShortAnywhereIsRefused) {
  // Every cut in the head of the data, where the structure is dense, then
  // cuts spread over the rest.
  for (size_t length = 0; length < bytes_->size(); length += length < 4096 ? 1 : 997) {
    std::vector<uint8_t> cut(bytes_->begin(), bytes_->begin() + length);
    EXPECT_THROW(ReadFormLayout(cut), ELayoutError) << "cut at " << length;
  }
}

TEST_F(LayoutReader, InconsistentDataIsRefused) {
  std::vector<uint8_t> extra = *bytes_;
  extra.push_back(0);
  ExpectRefused(extra, "a byte left over");

  std::vector<uint8_t> magic = *bytes_;
  magic[0] = 'X';
  ExpectRefused(magic, "bad signature");

  // Item 0 starts at offset 6: kind, then the name, then the parent.
  std::vector<uint8_t> kind = *bytes_;
  kind[6] = kItemKindCount;
  ExpectRefused(kind, "unknown kind");

  std::vector<uint8_t> notForm = *bytes_;
  notForm[6] = static_cast<uint8_t>(ItemKind::Label);
  ExpectRefused(notForm, "first item not the form");

  std::vector<uint8_t> parented = *bytes_;
  size_t parentAt = 6 + 1 + 1 + parented[7];
  parented[parentAt] = 0;
  parented[parentAt + 1] = 0;
  ExpectRefused(parented, "the form with a parent");

  std::vector<uint8_t> none = {'Q', 'F', 'L', '1', 0, 0};
  ExpectRefused(none, "no items");
}

TEST(IconFile, DamagedDirectoriesAreRefused) {
  std::vector<uint8_t> header = {0, 0, 1, 0, 1, 0};
  std::vector<uint8_t> entry = {32, 32, 0, 0, 1, 0, 8, 0, 4, 0, 0, 0, 22, 0, 0, 0};
  std::vector<uint8_t> good = header;
  good.insert(good.end(), entry.begin(), entry.end());
  good.insert(good.end(), {1, 2, 3, 4});
  ASSERT_TRUE(FindIconImage(good, 32).has_value());
  EXPECT_EQ(FindIconImage(good, 32)->bits.size(), 4u);

  std::vector<uint8_t> shortImage(good.begin(), good.end() - 1);
  EXPECT_FALSE(FindIconImage(shortImage, 32).has_value());
  std::vector<uint8_t> manyEntries = good;
  manyEntries[4] = 200;
  EXPECT_FALSE(FindIconImage(manyEntries, 32).has_value());
  std::vector<uint8_t> cursorType = good;
  cursorType[2] = 2;
  EXPECT_FALSE(FindIconImage(cursorType, 32).has_value());
  EXPECT_FALSE(FindIconImage(std::vector<uint8_t>(good.begin(), good.begin() + 5), 32).has_value());
}

}  // namespace
}  // namespace quickintro
