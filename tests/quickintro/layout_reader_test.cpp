// The layout reader against the compiled "TQUICKFORM" data: every item in
// its page and stacking order, colours, fonts and texts, with its pictures
// stored as class name, length and GIF file; and damaged data refused
// without a crash. Where the items lie is checked in the window, whose
// controls, shapes and pictures show it (quick_form_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "quickintro/form_layout.h"
#include "quickintro/icon_file.h"

namespace quickintro {
namespace {

std::vector<uint8_t> CompiledLayout() {
  std::ifstream file(QUICKFORM_LAYOUT_FILE, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

class TLayoutReader : public ::testing::Test {
 protected:
  static const std::vector<uint8_t>& Bytes() {
    static const std::vector<uint8_t> bytes = CompiledLayout();
    return bytes;
  }
  static const TFormLayout& Layout() {
    static const TFormLayout layout = ReadFormLayout(Bytes());
    return layout;
  }
  static const TLayoutItem& Item(const char* name) { return Layout().Get(name); }
};

TEST_F(TLayoutReader, PagesInOrderAndItemsInStackingOrder) {
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

// Each encoding of colours, fonts, styles, flags and texts once. The note
// boxes' colour and fill, the etched frame and the form's colour show in the
// window's pixels (quick_form_test.cpp).
TEST_F(TLayoutReader, ColoursFontsStylesAndTexts) {
  EXPECT_EQ(Item("Notebook").Color, 12615680u);  // #0080C0
  EXPECT_EQ(Item("Shape25").Style, ssNoFill);
  EXPECT_EQ(Item("TrBevel").Style, bsLoweredBox);
  EXPECT_EQ(Item("QuickForm").Font, (TLayoutFont{"MS Sans Serif", 11, 0, kSystemColorBit | 8}));
  EXPECT_EQ(Item("Label8").Font, (TLayoutFont{"MS Sans Serif", 12, fsBold, 13303807}));
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
TEST_F(TLayoutReader, PicturesStoredAsWholeGifFiles) {
  size_t pictures = 0;
  for (const TLayoutItem& item : Layout().Items) {
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

TEST_F(TLayoutReader, WindowIconIsAWholeIconFile) {
  const TLayoutItem& form = Item("QuickForm");
  ASSERT_TRUE(form.HasPicture);
  EXPECT_EQ(form.Picture.ClassName, "TIcon");
  std::optional<TIconImage> image = FindIconImage(*form.Picture.Data, 32);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ((std::vector<int>{image->Width, image->Height, image->BitCount}), (std::vector<int>{32, 32, 8}));
}

// ---- Damaged data ----

TEST_F(TLayoutReader, CutShortAnywhereIsRefused) {
  // Every cut in the head of the data, where the structure is dense, then
  // cuts spread over the rest.
  for (size_t length = 0; length < Bytes().size(); length += length < 4096 ? 1 : 997) {
    std::vector<uint8_t> cut(Bytes().begin(), Bytes().begin() + length);
    EXPECT_THROW(ReadFormLayout(cut), ELayoutError) << "cut at " << length;
  }
}

TEST_F(TLayoutReader, InconsistentDataIsRefused) {
  // Item 0 starts at offset 6: kind, then the name, then the parent.
  const size_t parentAt = 6 + 1 + 1 + Bytes()[7];
  const auto with = [](std::initializer_list<std::pair<size_t, uint8_t>> changes) {
    std::vector<uint8_t> data = Bytes();
    for (const auto& [at, value] : changes) data[at] = value;
    return data;
  };
  std::vector<uint8_t> extra = Bytes();
  extra.push_back(0);
  const struct {
    const char* Why;
    std::vector<uint8_t> Data;
  } cases[] = {
      {"a byte left over", extra},
      {"bad signature", with({{0, 'X'}})},
      {"unknown kind", with({{6, kItemKindCount}})},
      {"first item not the form", with({{6, ikLabel}})},
      {"the form with a parent", with({{parentAt, 0}, {parentAt + 1, 0}})},
      {"no items", {'Q', 'F', 'L', '1', 0, 0}},
  };
  for (const auto& c : cases) EXPECT_THROW(ReadFormLayout(c.Data), ELayoutError) << c.Why;
}

TEST(IconFile, DamagedDirectoriesAreRefused) {
  // One 32 x 32 entry of 4 bytes at offset 22.
  const std::vector<uint8_t> good = {0, 0, 1, 0, 1, 0, 32, 32, 0, 0, 1, 0, 8, 0, 4, 0, 0, 0, 22, 0, 0, 0, 1, 2, 3, 4};
  ASSERT_TRUE(FindIconImage(good, 32).has_value());
  EXPECT_EQ(FindIconImage(good, 32)->Bits.size(), 4u);
  const auto with = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> data = good;
    data[at] = value;
    return data;
  };
  const std::vector<uint8_t> damaged[] = {
      std::vector<uint8_t>(good.begin(), good.end() - 1),  // the image cut short
      with(4, 200),                                        // more entries than the data hold
      with(2, 2),                                          // a cursor directory
      std::vector<uint8_t>(good.begin(), good.begin() + 5),
  };
  for (const auto& data : damaged) EXPECT_FALSE(FindIconImage(data, 32).has_value()) << data.size();
}

}  // namespace
}  // namespace quickintro
