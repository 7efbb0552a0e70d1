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
  static const std::vector<uint8_t>& Bytes() {
    static const std::vector<uint8_t> bytes = CompiledLayout();
    return bytes;
  }
  static const FormLayout& Layout() {
    static const FormLayout layout = ReadFormLayout(Bytes());
    return layout;
  }
  static const LayoutItem& Item(const char* name) { return Layout().Get(name); }
  static std::string ParentName(const LayoutItem& item) {
    return item.Parent < 0 ? "" : Layout().Items[static_cast<size_t>(item.Parent)].Name;
  }
};

// One item of each kind, and the places the encoding must carry: negative
// positions, items reaching past their page, a page of each end.
TEST_F(LayoutReader, ItemsInTheirPlace) {
  const struct {
    const char* Name;
    ItemKind Kind;
    const char* Parent;
    int Left, Top, Width, Height;
  } kPlacements[] = {
      {"QuickForm", ikForm, "", 0, 0, 427, 272},
      {"Bevel1", ikBevel, "QuickForm", 15, 15, 393, 208},
      {"CloseButton", ikButton, "QuickForm", 327, 234, 82, 28},
      {"Notebook", ikNotebook, "QuickForm", 16, 16, 391, 206},
      {"MainBkg", ikImage, "Welcome", 0, 0, 393, 210},
      {"Label10", ikLabel, "Welcome", 4, 99, 383, 32},
      {"uiTrayClock", ikRadioButton, "Select Tray", 69, 103, 89, 17},
      {"Image3", ikImage, "Download skins", -2, -6, 204, 196},
      {"Image6", ikImage, "Critical Days", 39, -1, 370, 112},
      {"Shape18", ikShape, "Critical Days", 0, 0, 391, 206},
  };
  EXPECT_EQ(Layout().Items.size(), 60u);  // the form, the notebook, eight pages and 50 placed items
  for (const auto& p : kPlacements) {
    SCOPED_TRACE(p.Name);
    const LayoutItem& item = Item(p.Name);
    EXPECT_EQ(item.Kind, p.Kind);
    EXPECT_EQ(ParentName(item), p.Parent);
    EXPECT_EQ((std::vector<int>{item.Left, item.Top, item.Width, item.Height}),
              (std::vector<int>{p.Left, p.Top, p.Width, p.Height}));
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
  const auto names = [](const std::vector<int>& indexes) {
    std::vector<std::string> result;
    for (int index : indexes) result.push_back(Layout().Items[static_cast<size_t>(index)].Name);
    return result;
  };
  const std::vector<int> pages = Layout().Pages();
  ASSERT_EQ(pages.size(), kPages.size());
  for (size_t p = 0; p < pages.size(); ++p) {
    EXPECT_EQ(Layout().Items[static_cast<size_t>(pages[p])].Name, kPages[p][0]);
    EXPECT_EQ(names(Layout().ChildrenOf(pages[p])), std::vector<std::string>(kPages[p].begin() + 1, kPages[p].end()));
  }
  EXPECT_EQ(names(Layout().ChildrenOf(0)),
            (std::vector<std::string>{"Bevel1", "BackBtn", "NextBtn", "CloseButton", "Notebook"}));
}

// Each encoding of colours, fonts, styles, flags and texts once.
TEST_F(LayoutReader, ColoursFontsStylesAndTexts) {
  EXPECT_EQ(Item("Notebook").Color, 12615680u);  // #0080C0
  EXPECT_EQ(Item("Shape1").Color, 13303807u);    // #FFFFCA
  EXPECT_EQ(Item("Shape1").Style, ssSolidFill);
  EXPECT_EQ(Item("Shape25").Style, ssNoFill);
  EXPECT_EQ(Item("TrBevel").Style, bsLoweredBox);
  EXPECT_EQ(Item("Bevel1").Style, bsEtchedFrame);
  EXPECT_EQ(Item("QuickForm").Color, kSystemColorBit | 15);  // button face
  EXPECT_EQ(Item("QuickForm").Font, (LayoutFont{"MS Sans Serif", 11, 0, kSystemColorBit | 8}));
  EXPECT_EQ(Item("Label8").Font, (LayoutFont{"MS Sans Serif", 12, fsBold, 13303807}));
  EXPECT_EQ(Item("uiTrayClock").Font, Item("Notebook").Font);  // inherited from the notebook
  EXPECT_EQ(Item("Label4").Text,
            "Please select the initial state of Zaradada Clock. \r\nYou can change it with the pop-up menu later.");
  EXPECT_EQ(Item("Label4").Align, alCenter);
  EXPECT_FALSE(Item("Label4").Has(ifWordWrap));
  EXPECT_TRUE(Item("Label10").Has(ifWordWrap));
  EXPECT_TRUE(Item("BackBtn").Has(ifTabStop) && !Item("BackBtn").Has(ifEnabled));
  EXPECT_EQ(Item("NextBtn").Bindings.at(0).Handler, "NextBtnClick");
}

// Every picture item carries its whole GIF file under the class "TGIFImage",
// stored as class name, 32-bit little-endian count, file.
TEST_F(LayoutReader, PicturesStoredAsWholeGifFiles) {
  size_t pictures = 0;
  for (const LayoutItem& item : Layout().Items) {
    if (item.Kind != ikImage) continue;
    SCOPED_TRACE(item.Name);
    ASSERT_TRUE(item.HasPicture);
    EXPECT_EQ(item.Picture.ClassName, "TGIFImage");
    const std::vector<uint8_t>& gif = *item.Picture.Data;
    EXPECT_EQ(std::string(gif.begin(), gif.begin() + 3), "GIF");
    EXPECT_EQ(gif.back(), 0x3B);  // up to its trailer
    ++pictures;
  }
  EXPECT_EQ(pictures, 11u);
  const std::vector<uint8_t>& gif = *Item("MainBkg").Picture.Data;
  std::vector<uint8_t> stored = {9, 'T', 'G', 'I', 'F', 'I', 'm', 'a', 'g', 'e'};
  for (int shift = 0; shift < 32; shift += 8) stored.push_back(static_cast<uint8_t>(gif.size() >> shift));
  stored.insert(stored.end(), gif.begin(), gif.begin() + 6);
  EXPECT_NE(std::search(Bytes().begin(), Bytes().end(), stored.begin(), stored.end()), Bytes().end());
}

TEST_F(LayoutReader, WindowIconIsAWholeIconFile) {
  const LayoutItem& form = Item("QuickForm");
  ASSERT_TRUE(form.HasPicture);
  EXPECT_EQ(form.Picture.ClassName, "TIcon");
  std::optional<IconImage> image = FindIconImage(*form.Picture.Data, 32);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ((std::vector<int>{image->Width, image->Height, image->BitCount}), (std::vector<int>{32, 32, 8}));
}

// ---- Damaged data ----

void ExpectRefused(const std::vector<uint8_t>& data, const char* why) {
  SCOPED_TRACE(why);
  EXPECT_THROW(ReadFormLayout(data), ELayoutError);
}

TEST_F(LayoutReader, CutShortAnywhereIsRefused) {
  // Every cut in the head of the data, where the structure is dense, then
  // cuts spread over the rest.
  for (size_t length = 0; length < Bytes().size(); length += length < 4096 ? 1 : 997) {
    std::vector<uint8_t> cut(Bytes().begin(), Bytes().begin() + length);
    EXPECT_THROW(ReadFormLayout(cut), ELayoutError) << "cut at " << length;
  }
}

TEST_F(LayoutReader, InconsistentDataIsRefused) {
  std::vector<uint8_t> extra = Bytes();
  extra.push_back(0);
  ExpectRefused(extra, "a byte left over");

  std::vector<uint8_t> magic = Bytes();
  magic[0] = 'X';
  ExpectRefused(magic, "bad signature");

  // Item 0 starts at offset 6: kind, then the name, then the parent.
  std::vector<uint8_t> kind = Bytes();
  kind[6] = kItemKindCount;
  ExpectRefused(kind, "unknown kind");

  std::vector<uint8_t> notForm = Bytes();
  notForm[6] = static_cast<uint8_t>(ikLabel);
  ExpectRefused(notForm, "first item not the form");

  std::vector<uint8_t> parented = Bytes();
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
