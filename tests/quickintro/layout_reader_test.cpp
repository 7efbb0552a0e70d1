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
    return item.Parent < 0 ? "" : layout_->Items[item.Parent].Name;
  }
  static inline std::vector<uint8_t>* bytes_ = nullptr;
  static inline FormLayout* layout_ = nullptr;
};

struct Placement {
  const char* Name;
  ItemKind Kind;
  const char* Parent;
  int Left, Top, Width, Height;
};

const Placement kPlacements[] = {
    {"QuickForm", ikForm, "", 0, 0, 427, 272},
    {"Bevel1", ikBevel, "QuickForm", 15, 15, 393, 208},
    {"BackBtn", ikButton, "QuickForm", 150, 234, 82, 28},
    {"NextBtn", ikButton, "QuickForm", 232, 234, 82, 28},
    {"CloseButton", ikButton, "QuickForm", 327, 234, 82, 28},
    {"Notebook", ikNotebook, "QuickForm", 16, 16, 391, 206},
    {"MainBkg", ikImage, "Welcome", 0, 0, 393, 210},
    {"Shape25", ikShape, "Welcome", 0, 0, 391, 206},
    {"WelcomeBkg", ikImage, "Welcome", 64, 15, 259, 59},
    {"Label8", ikLabel, "Welcome", 279, 183, 107, 13},
    {"Label10", ikLabel, "Welcome", 4, 99, 383, 32},
    {"DBevel", ikBevel, "Select Tray", 208, 44, 152, 84},
    {"Shape22", ikShape, "Select Tray", 0, 0, 391, 206},
    {"TrBevel", ikBevel, "Select Tray", 35, 44, 152, 84},
    {"Label4", ikLabel, "Select Tray", 9, 152, 375, 32},
    {"Shape13", ikShape, "Select Tray", 209, 45, 150, 82},
    {"TrShape", ikShape, "Select Tray", 37, 45, 150, 82},
    {"TrayClockImg", ikImage, "Select Tray", 38, 32, 148, 60},
    {"DesktopClockImg", ikImage, "Select Tray", 210, 31, 148, 60},
    {"uiDesktopClock", ikRadioButton, "Select Tray", 233, 103, 108, 17},
    {"uiTrayClock", ikRadioButton, "Select Tray", 69, 103, 89, 17},
    {"Image1", ikImage, "Open preferences", 0, 178, 391, 29},
    {"Image4", ikImage, "Open preferences", 107, 56, 179, 207},
    {"Shape4", ikShape, "Open preferences", 12, 12, 291, 51},
    {"Shape1", ikShape, "Open preferences", 9, 9, 292, 51},
    {"Label1", ikLabel, "Open preferences", 23, 21, 269, 26},
    {"Shape24", ikShape, "Open preferences", 0, 0, 391, 206},
    {"Image7", ikImage, "Hide", 1, 70, 240, 138},
    {"Shape19", ikShape, "Hide", 143, 11, 235, 50},
    {"Shape20", ikShape, "Hide", 137, 9, 239, 49},
    {"Label7", ikLabel, "Hide", 153, 20, 218, 31},
    {"Shape21", ikShape, "Hide", 0, 0, 391, 206},
    {"Image2", ikImage, "Run at startup", 138, 0, 282, 113},
    {"Shape5", ikShape, "Run at startup", 18, 135, 245, 57},
    {"Shape2", ikShape, "Run at startup", 15, 131, 246, 58},
    {"Label2", ikLabel, "Run at startup", 37, 140, 219, 41},
    {"Shape14", ikShape, "Run at startup", 0, 0, 391, 206},
    {"Image3", ikImage, "Download skins", -2, -6, 204, 196},
    {"Shape16", ikShape, "Download skins", 0, 0, 391, 206},
    {"Shape3", ikShape, "Download skins", 156, 117, 229, 80},
    {"Shape6", ikShape, "Download skins", 153, 113, 230, 81},
    {"Label3", ikLabel, "Download skins", 170, 126, 201, 55},
    {"Image5", ikImage, "Drag n drop", -1, 78, 456, 173},
    {"Shape10", ikShape, "Drag n drop", 98, 24, 242, 60},
    {"Shape9", ikShape, "Drag n drop", 95, 20, 243, 61},
    {"Label5", ikLabel, "Drag n drop", 115, 30, 215, 39},
    {"Shape17", ikShape, "Drag n drop", 0, 0, 391, 206},
    {"Image6", ikImage, "Critical Days", 39, -1, 370, 112},
    {"Shape12", ikShape, "Critical Days", 20, 127, 303, 63},
    {"Shape11", ikShape, "Critical Days", 17, 124, 304, 64},
    {"Label6", ikLabel, "Critical Days", 40, 135, 271, 52},
    {"Shape18", ikShape, "Critical Days", 0, 0, 391, 206},
};

TEST_F(LayoutReader, EveryItemInItsPlace) {
  // The form, the notebook, eight pages and the placed items: nothing more.
  EXPECT_EQ(layout_->Items.size(), std::size(kPlacements) + 8);
  for (const Placement& p : kPlacements) {
    SCOPED_TRACE(p.Name);
    const LayoutItem& item = Item(p.Name);
    EXPECT_EQ(item.Kind, p.Kind);
    EXPECT_EQ(ParentName(item), p.Parent);
    EXPECT_EQ(item.Left, p.Left);
    EXPECT_EQ(item.Top, p.Top);
    EXPECT_EQ(item.Width, p.Width);
    EXPECT_EQ(item.Height, p.Height);
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
    const LayoutItem& page = layout_->Items[pages[p]];
    EXPECT_EQ(page.Name, kPages[p][0]);
    EXPECT_EQ(ParentName(page), "Notebook");
    std::vector<std::string> children;
    for (int child : layout_->ChildrenOf(pages[p])) children.push_back(layout_->Items[child].Name);
    EXPECT_EQ(children, std::vector<std::string>(kPages[p].begin() + 1, kPages[p].end()));
  }
  std::vector<std::string> formChildren;
  for (int child : layout_->ChildrenOf(0)) formChildren.push_back(layout_->Items[child].Name);
  EXPECT_EQ(formChildren, (std::vector<std::string>{"Bevel1", "BackBtn", "NextBtn", "CloseButton", "Notebook"}));
}

TEST_F(LayoutReader, ColoursAsStoredValues) {
  constexpr uint32_t kPageBlue = 12615680, kNoteYellow = 13303807, kCardGrey = 15198183, kBlack = 0;
  EXPECT_EQ(Item("Notebook").Color, kPageBlue);
  for (const char* note : {"Shape1", "Shape20", "Shape2", "Shape6", "Shape9", "Shape11"}) {
    SCOPED_TRACE(note);
    EXPECT_EQ(Item(note).Color, kNoteYellow);
    EXPECT_EQ(Item(note).Style, static_cast<uint8_t>(ssSolidFill));
  }
  for (const char* shadow : {"Shape4", "Shape19", "Shape5", "Shape3", "Shape10", "Shape12"}) {
    SCOPED_TRACE(shadow);
    EXPECT_EQ(Item(shadow).Color, kBlack);
  }
  for (const char* border : {"Shape25", "Shape22", "Shape24", "Shape21", "Shape14", "Shape16", "Shape17", "Shape18"}) {
    SCOPED_TRACE(border);
    EXPECT_EQ(Item(border).Style, static_cast<uint8_t>(ssNoFill));
  }
  for (const char* card : {"Shape13", "TrShape", "uiDesktopClock", "uiTrayClock"}) EXPECT_EQ(Item(card).Color, kCardGrey);
  EXPECT_TRUE(IsSystemColor(Item("QuickForm").Color));
}

TEST_F(LayoutReader, Fonts) {
  const LayoutFont window{"MS Sans Serif", 11, 0, kSystemColorBit | 8};
  const LayoutFont page{"MS Sans Serif", 12, fsBold, 0x000000};
  const LayoutFont heading{"MS Sans Serif", 13, fsBold, 0xFFFFFF};
  const LayoutFont hint{"MS Sans Serif", 12, fsBold, 13303807};
  for (const char* name : {"QuickForm", "BackBtn", "NextBtn", "CloseButton"}) EXPECT_EQ(Item(name).Font, window) << name;
  for (const char* name : {"Notebook", "Label1", "Label7", "Label2", "Label3", "Label5", "Label6", "uiTrayClock",
                           "uiDesktopClock"})
    EXPECT_EQ(Item(name).Font, page) << name;
  EXPECT_EQ(Item("Label10").Font, heading);
  EXPECT_EQ(Item("Label4").Font, heading);
  EXPECT_EQ(Item("Label8").Font, hint);
}

TEST_F(LayoutReader, TextsAndLabelFormatting) {
  EXPECT_EQ(Item("QuickForm").Text, "Quick Introduction to Zaradada Clock");
  EXPECT_EQ(Item("BackBtn").Text, "<< Back");
  EXPECT_EQ(Item("NextBtn").Text, "Next >>");
  EXPECT_EQ(Item("CloseButton").Text, "Close");
  EXPECT_EQ(Item("Label10").Text,
            "Here are the most important notes and hints for you\r\nto get the most from Zaradada Clock.");
  EXPECT_EQ(Item("Label4").Text,
            "Please select the initial state of Zaradada Clock. \r\nYou can change it with the pop-up menu later.");
  EXPECT_EQ(Item("Label7").Text, "If the floating clock is over controls, \r\nyou can hide it with one mouse click.");
  EXPECT_EQ(Item("Label4").Align, alCenter);
  EXPECT_FALSE(Item("Label4").Has(ifWordWrap));
  EXPECT_EQ(Item("Label10").Align, alCenter);
  EXPECT_TRUE(Item("Label10").Has(ifWordWrap));
  for (const char* note : {"Label7", "Label2", "Label3", "Label5", "Label6"}) EXPECT_TRUE(Item(note).Has(ifWordWrap)) << note;
  EXPECT_TRUE(Item("Label1").Has(ifAutoSize));
}

// Picture sizes, versions and the transparent flag, read from the stored GIF.
TEST_F(LayoutReader, PicturesStoredAsGifFiles) {
  const struct {
    const char* Name;
    int Width, Height;
    const char* Version;
  } kPictures[] = {
      {"MainBkg", 393, 210, "GIF89a"},      {"WelcomeBkg", 259, 59, "GIF89a"}, {"TrayClockImg", 148, 60, "GIF89a"},
      {"DesktopClockImg", 148, 60, "GIF89a"}, {"Image1", 391, 29, "GIF89a"},   {"Image4", 179, 207, "GIF89a"},
      {"Image7", 241, 138, "GIF89a"},       {"Image2", 282, 113, "GIF89a"},    {"Image3", 204, 196, "GIF89a"},
      {"Image5", 457, 173, "GIF87a"},       {"Image6", 370, 112, "GIF89a"},
  };
  size_t pictureItems = 0;
  for (const LayoutItem& item : layout_->Items) pictureItems += item.Kind == ikImage && item.HasPicture;
  EXPECT_EQ(pictureItems, std::size(kPictures));
  for (const auto& p : kPictures) {
    SCOPED_TRACE(p.Name);
    const LayoutItem& item = Item(p.Name);
    ASSERT_TRUE(item.HasPicture);
    EXPECT_EQ(item.Picture.ClassName, "TGIFImage");
    const std::vector<uint8_t>& gif = *item.Picture.Data;
    ASSERT_GE(gif.size(), 13u);
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), p.Version);
    EXPECT_EQ(gif[6] | gif[7] << 8, p.Width);
    EXPECT_EQ(gif[8] | gif[9] << 8, p.Height);
    EXPECT_EQ(gif.back(), 0x3B);  // the whole file, up to its trailer
  }
}

// Each picture sits in the stream as length byte + class name, 32-bit
// little-endian count, GIF file.
TEST_F(LayoutReader, PictureStoredFormInTheResource) {
  const std::vector<uint8_t>& gif = *Item("MainBkg").Picture.Data;
  std::vector<uint8_t> stored = {9, 'T', 'G', 'I', 'F', 'I', 'm', 'a', 'g', 'e'};
  for (int shift = 0; shift < 32; shift += 8) stored.push_back(static_cast<uint8_t>(gif.size() >> shift));
  stored.insert(stored.end(), gif.begin(), gif.begin() + 6);
  auto found = std::search(bytes_->begin(), bytes_->end(), stored.begin(), stored.end());
  EXPECT_NE(found, bytes_->end());
}

TEST_F(LayoutReader, WindowIconIsAWholeIconFile) {
  const LayoutItem& form = Item("QuickForm");
  ASSERT_TRUE(form.HasPicture);
  EXPECT_EQ(form.Picture.ClassName, "TIcon");
  std::optional<IconImage> image = FindIconImage(*form.Picture.Data, 32);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->Width, 32);
  EXPECT_EQ(image->Height, 32);
  EXPECT_EQ(image->BitCount, 8);
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
  notForm[6] = static_cast<uint8_t>(ikLabel);
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
  EXPECT_EQ(FindIconImage(good, 32)->Bits.size(), 4u);

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
