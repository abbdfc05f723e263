// The builder against faulty layouts, the formatted text of the sort buttons, images, and the real
// archive made from resources/skin: every control the main window looks up by name, of its kind.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/text.h"
#include "uilib/containers.h"
#include "uilib/control_manager.h"
#include "uilib/dialog_builder.h"
#include "uilib/text_controls.h"
#include "uilib/zip_maker.h"

namespace lvx::uilib {
namespace {

TextRun R(const char16_t* text, int font, bool underline = false, Color color = kNoColor, int link = -1) {
  return {text, font, underline, false, false, color, link};
}

bool SameRuns(const std::vector<TextRun>& a, const std::vector<TextRun>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const TextRun& x, const TextRun& y) { return x.text == y.text && x.SameLook(y); });
}

TEST(MarkupText, SortButtonTextsAndFaultyTags) {
  const Color grey = 0xFF7C7C80;
  const struct {
    const char16_t* text;
    std::vector<TextRun> runs;
  } kCases[] = {
      {u"{a}{f 3}{u}N{/u}ame{/f}{/a}", {R(u"N", 3, true, kNoColor, 0), R(u"ame", 3, false, kNoColor, 0)}},
      {u"{a}{f 3}T{u}y{/u}pe{/f}{/a}{f 4}{c #7C7C80}\u25B2{/c}{/f}",
       {R(u"T", 3, false, kNoColor, 0), R(u"y", 3, true, kNoColor, 0), R(u"pe", 3, false, kNoColor, 0),
        R(u"\u25B2", 4, false, grey)}},
      {u"{a}one{/a} {a}two{/a}", {R(u"one", -1, false, kNoColor, 0), R(u" ", -1), R(u"two", -1, false, kNoColor, 1)}},
      {u"{f 1}{u}x{/f}y{/u}z", {R(u"x", 1, true), R(u"y", -1, true), R(u"z", -1)}},
      {u"{/u}{/f}{/c}{/a}plain", {R(u"plain", -1)}},
      {u"{x}{f}{f 999}{c red}{ {", {R(u"{x}{f}{f 999}{c red}{ {", -1)}},
      {u"{{u}a{/u}", {R(u"{", -1), R(u"a", -1, true)}},
      {u"", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(U8(c.text));
    EXPECT_TRUE(SameRuns(ParseMarkupText(c.text), c.runs)) << U8(PlainText(ParseMarkupText(c.text)));
  }
}

std::u16string BuildError(const std::string& xml, CControlManager* manager = nullptr) {
  CControlManager local;
  CMarkup markup;
  if (markup.Load(xml) != 0) return u"markup: " + markup.GetLastErrorMessage();
  std::u16string error;
  auto root = CDialogBuilder().Create(markup, u"AppMain.xml", manager ? manager : &local, &error);
  return root ? u"" : error;
}

TEST(DialogBuilder, FaultyLayoutsNameTheElementAndWhatIsWrong) {
  const struct {
    const char* xml;
    const char16_t* message;
  } kCases[] = {
      {"<Layout/>", u"line 1, column 1: the root element must be <Window>, not <Layout>"},
      {"<Window/>", u"line 1, column 1: <Window> holds no control"},
      {"<Window size=\"1\"><Control/></Window>", u"the value \"1\" of \"size\" is not valid"},
      {"<Window>\n <Widget/></Window>", u"line 2, column 2: <Widget> is not a control"},
      {"<Window><Control colour=\"#FFF\"/></Window>", u"<Control> has no attribute \"colour\""},
      {"<Window><Control width=\"-5\"/></Window>", u"the value \"-5\" of \"width\" is not valid"},
      {"<Window><Control width=\"120%\"/></Window>", u"the value \"120%\" of \"width\" is not valid"},
      {"<Window><Control bkcolor=\"#GG0000\"/></Window>", u"of \"bkcolor\" is not valid"},
      {"<Window><Control padding=\"1,2,3\"/></Window>", u"of \"padding\" is not valid"},
      {"<Window><Label text=\"a\"><Control/></Label></Window>", u"<Label> cannot hold other controls"},
      {"<Window><Label>text</Label></Window>", u"<Label> holds text"},
      {"<Window><Control/><Control/></Window>", u"<Window> holds more than one root control"},
      {"<Window><Control/><Font name=\"A\"/></Window>", u"fonts must come before the root control"},
      {"<Window><Font size=\"12\"/><Control/></Window>", u"<Font> needs a name"},
      {"<Window><Font name=\"A\" size=\"0\"/><Control/></Window>", u"of \"size\" is not valid"},
      {"<Window><Font name=\"A\"/><Label font=\"1\"/></Window>", u"there is no font 1"},
      {"<Window><TabLayout selectedid=\"2\"><Control/></TabLayout></Window>", u"the tab layout has no page 2"},
      {"<Window><VerticalLayout>\n<Control name=\"a\"/>\n<Control name=\"a\"/></VerticalLayout></Window>",
       u"line 3, column 1: the name \"a\" is already used at line 2"},
      {"<Window><Option align=\"middle\"/></Window>", u"of \"align\" is not valid"},
      {"<Window><Option selected=\"yes\"/></Window>", u"of \"selected\" is not valid"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.xml);
    const std::u16string error = BuildError(c.xml);
    EXPECT_EQ(error.rfind(u"The layout \"AppMain.xml\" is not valid: ", 0), 0u) << U8(error);
    EXPECT_NE(error.find(c.message), std::u16string::npos) << U8(error);
  }
}

TEST(DialogBuilder, ImagesMustBeInTheArchiveAndDecode) {
  // 2 x 1 pixels of 24 bits, then the same with a 32-bit half-transparent pixel.
  std::string bmp24 = std::string("BM") + std::string(12, '\0');
  std::string info(40, '\0');
  info[0] = 40, info[4] = 2, info[8] = 1, info[12] = 1, info[14] = 24;
  bmp24[10] = 54;
  bmp24 += info + std::string("\x01\x02\x03\x04\x05\x06\0\0", 8);
  std::string bmp32 = bmp24.substr(0, 54) + std::string("\x10\x20\x30\xFF\x40\x40\x40\x80", 8);
  bmp32[28] = 32;
  CResourceArchive archive;
  std::u16string error;
  ASSERT_EQ(archive.LoadBytes(test::MakeZip({{"a.bmp", bmp24}, {"b.bmp", bmp32}, {"bad.bmp", bmp24.substr(0, 56)},
                                             {"odd.bmp", "GIF89a" + std::string(60, '\0')}})
                                  .bytes,
                              u"skin.zip", &error),
            0);
  CControlManager m;
  m.SetResources(&archive);
  EXPECT_EQ(BuildError("<Window><Button bkimage=\"a.bmp\" hotimage=\"B.BMP\"/></Window>", &m), u"");
  const UiImage* a = m.GetImage(u"a.bmp", &error);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->pixels, (std::vector<uint32_t>{0xFF030201, 0xFF060504}));
  EXPECT_FALSE(a->hasAlpha);
  const UiImage* b = m.GetImage(u"B.BMP", &error);
  ASSERT_NE(b, nullptr);
  EXPECT_TRUE(b->hasAlpha);
  EXPECT_EQ(b->pixels[1], 0x80202020u) << "premultiplied";

  for (auto [xml, message] : {std::pair{"<Control bkimage=\"none.bmp\"/>", u"has no file \"none.bmp\""},
                              {"<Option selectedimage=\"bad.bmp\"/>", u"pixels are cut short"},
                              {"<Control bkimage=\"odd.bmp\"/>", u"not a BMP image"}})
    EXPECT_NE(BuildError(std::string("<Window>") + xml + "</Window>", &m).find(message), std::u16string::npos) << xml;
}

TEST(DialogBuilder, TheRealArchiveHoldsEveryControlTheMainWindowLooksUp) {
  CResourceArchive archive;
  std::u16string error;
  ASSERT_EQ(archive.Load(U16(LVX_SKIN_ARCHIVE), &error), 0) << U8(error);
  CControlManager m;
  m.SetResources(&archive);
  std::unique_ptr<CControlUI> root = CDialogBuilder().Create(u"AppMain.xml", &m, &error);
  ASSERT_TRUE(root) << U8(error);
  ASSERT_TRUE(m.AttachDialog(std::move(root)));
  const std::pair<std::u16string, std::vector<const char16_t*>> kNamed[] = {
      {u"WindowCtrlUI", {u"cbSearch", u"cbFolder", u"btnBrowse", u"btnSearch", u"listResult", u"tabSort",
                         u"statusBar", u"tabQuickButtons", u"tabSizeDate", u"tabAdvanced"}},
      {u"TabLayoutUI", {u"tabPagesToolbar"}},
      {u"OptionUI", {u"tabQuickBtn", u"tabSizeDateBtn", u"tabAdvancedBtn", u"tbSortDefault", u"tbSortName",
                     u"tbSortLocation", u"tbSortSize", u"tbSortType", u"tbSortDateModified"}},
      {u"LabelUI", {u"textRefine"}},
  };
  for (const auto& [kind, names] : kNamed)
    for (const char16_t* name : names) {
      const CControlUI* control = m.FindControl(name);
      ASSERT_NE(control, nullptr) << U8(name);
      EXPECT_EQ(control->GetClass(), kind) << U8(name);
    }
  // Three page buttons choose the three pages of the tab layout (the paint manager sees the first shown).
  auto* pages = static_cast<CTabLayoutUI*>(m.FindControl(u"tabPagesToolbar"));
  ASSERT_EQ(pages->GetCount(), 3);
  EXPECT_EQ(pages->GetItemAt(2), m.FindControl(u"tabAdvanced"));
  EXPECT_TRUE(static_cast<COptionUI*>(m.FindControl(u"tabQuickBtn"))->IsSelected());
  EXPECT_EQ(m.GetOptionGroup(static_cast<COptionUI*>(m.FindControl(u"tabQuickBtn"))->GetGroup()).size(), 3u);
  EXPECT_EQ(m.GetOptionGroup(static_cast<COptionUI*>(m.FindControl(u"tbSortName"))->GetGroup()).size(), 6u);
  EXPECT_EQ(PlainText(static_cast<CLabelUI*>(m.FindControl(u"tbSortName"))->GetRuns()), u"Name");
  // Laid out in its smallest size, every host control has room.
  m.Resize(m.GetMinWidth(), m.GetMinHeight());
  for (const char16_t* host : {u"cbSearch", u"cbFolder", u"listResult", u"statusBar", u"tabQuickButtons"}) {
    const UiRect r = m.FindControl(host)->GetPos();
    EXPECT_TRUE(r.Width() > 40 && r.Height() >= 20 && r.right <= m.GetMinWidth() && r.bottom <= m.GetMinHeight())
        << U8(host) << " " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
}

}  // namespace
}  // namespace lvx::uilib
