// Layout arithmetic, and the control tree built from markup: sizes, tab pages, option groups, host
// windows and the mouse, as the main window meets them.
#include <gtest/gtest.h>

#include <map>

#include "platform/text.h"
#include "uilib/containers.h"
#include "uilib/control_manager.h"
#include "uilib/dialog_builder.h"
#include "uilib/layout_math.h"
#include "uilib/text_controls.h"

namespace lvx::uilib {
namespace {

LayoutItem Fixed(int v, int min = 0, int max = kMaxCoordinate) { return {{SizeSpec::Fixed, v}, min, max}; }
LayoutItem Percent(int v, int min = 0, int max = kMaxCoordinate) { return {{SizeSpec::Percent, v}, min, max}; }
LayoutItem Auto(int min = 0, int max = kMaxCoordinate) { return {{}, min, max}; }
LayoutItem Padded(LayoutItem item, int before, int after) {
  item.padBefore = before;
  item.padAfter = after;
  return item;
}

struct SpanCase {
  const char* what;
  int room, gap;
  std::vector<LayoutItem> items;
  std::vector<Span> expected;
};

TEST(LayoutMath, DistributesFixedRelativeAndLeftoverSpace) {
  const SpanCase kCases[] = {
      {"gaps between neighbours only", 100, 5, {Fixed(10), Fixed(10), Fixed(10)}, {{0, 10}, {15, 10}, {30, 10}}},
      {"one auto takes the rest", 100, 4, {Fixed(30), Auto()}, {{0, 30}, {34, 66}}},
      {"autos share, first gets the odd pixels", 101, 0, {Auto(), Auto(), Auto()}, {{0, 34}, {34, 34}, {68, 33}}},
      {"percent of the room", 200, 0, {Percent(25), Auto()}, {{0, 50}, {50, 150}}},
      {"percent held by its limits", 200, 0, {Percent(50, 0, 60), Percent(10, 30)}, {{0, 60}, {60, 30}}},
      {"fixed held by min", 100, 0, {Fixed(5, 20), Auto()}, {{0, 20}, {20, 80}}},
      {"paddings take room and move the item", 100, 0, {Padded(Fixed(10), 3, 2), Padded(Auto(), 5, 5)},
       {{3, 10}, {20, 75}}},
      {"auto at its max leaves the rest to others", 100, 0, {Auto(0, 10), Auto()}, {{0, 10}, {10, 90}}},
      {"auto at its min when the share is smaller", 100, 0, {Auto(70), Auto(), Auto()}, {{0, 70}, {70, 15}, {85, 15}}},
      {"overflow: autos get their min, the row runs past", 50, 0, {Fixed(60), Auto(8), Auto()},
       {{0, 60}, {60, 8}, {68, 0}}},
      {"no room at all", 0, 3, {Auto(), Auto()}, {{0, 0}, {3, 0}}},
      {"min above max: min wins", 100, 0, {Fixed(10, 40, 20)}, {{0, 40}}},
  };
  for (const SpanCase& c : kCases) {
    SCOPED_TRACE(c.what);
    const std::vector<Span> got = DistributeSpans(c.room, c.gap, c.items);
    ASSERT_EQ(got.size(), c.expected.size());
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], c.expected[i]) << "item " << i << ": " << got[i].offset << "," << got[i].length;
  }
  EXPECT_EQ(PlaceAcross(50, Padded(Fixed(20), 4, 6)), (Span{4, 20}));
  EXPECT_EQ(PlaceAcross(50, Auto(0, 30)), (Span{0, 30}));
  EXPECT_EQ(PlaceAcross(10, Padded(Auto(), 8, 8)), (Span{8, 0}));
}

// A manager that records what would go to the window system.
class RecordingManager : public CControlManager, public INotifyUI {
 public:
  RecordingManager() { AddNotifier(this); }
  void PlaceHostWindow(HostWindow window, const UiRect& rect, bool visible) override {
    placed[window] = {rect, visible};
  }
  void SetMouseCapture(bool capture) override { captured = capture; }
  void Notify(TNotifyUI& msg) override { notes.push_back(U8(msg.sType) + ":" + U8(msg.pSender->GetName())); }

  bool Build(const std::string& xml) {
    CMarkup markup;
    std::u16string error;
    if (markup.Load(xml) != 0) return ADD_FAILURE() << U8(markup.GetLastErrorMessage()), false;
    std::unique_ptr<CControlUI> root = CDialogBuilder().Create(markup, u"test.xml", this, &error);
    if (!root) return ADD_FAILURE() << U8(error), false;
    return AttachDialog(std::move(root));
  }
  UiRect Pos(const char16_t* name) { return FindControl(name)->GetPos(); }
  void Click(const char16_t* name) {
    const UiRect r = Pos(name);
    OnMouseMove(r.left + 1, r.top + 1);
    OnButtonDown(r.left + 1, r.top + 1);
    OnButtonUp(r.left + 1, r.top + 1);
  }

  std::map<HostWindow, std::pair<UiRect, bool>> placed;
  std::vector<std::string> notes;
  bool captured = false;
};

const char kLayout[] = R"(<Window size="300,200" mininfo="200,100"><Font name="Tahoma" size="12"/>
  <VerticalLayout name="main" inset="10,10,10,10" childpadding="4">
    <HorizontalLayout name="row" height="20" childpadding="2">
      <Label name="label" width="25%" text="Find:"/>
      <WindowCtrl name="host" minwidth="50"/>
      <Button name="go" width="40" padding="2,1,0,1"/>
    </HorizontalLayout>
    <HorizontalLayout name="pagesRow" height="20">
      <Option name="p0" group="pages" selected="true" width="30"/>
      <Option name="p1" group="pages" selected="true" width="30"/>
      <Option name="p2" group="pages" width="30"/>
      <Option name="toggle" width="30"/>
    </HorizontalLayout>
    <TabLayout name="tab" selectedid="1" height="40">
      <WindowCtrl name="page0"/>
      <HorizontalLayout name="page1"><WindowCtrl name="inner1"/></HorizontalLayout>
    </TabLayout>
    <Control name="rest"/>
    <Label name="hidden" height="30" visible="false"/>
  </VerticalLayout></Window>)";

HostWindow Handle(int n) { return reinterpret_cast<HostWindow>(uintptr_t(n)); }

// kLayout at 300 x 200, with host windows 1, 2 and 3 in "host", "page0" and "inner1".
class ControlTree : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m.Build(kLayout));
    int n = 0;
    for (const char16_t* host : {u"host", u"page0", u"inner1"})
      static_cast<CWindowCtrlUI*>(m.FindControl(host))->AttachHostWindow(Handle(++n));
    m.Resize(300, 200);
  }
  RecordingManager m;
};

TEST_F(ControlTree, LaysOutOnEverySizeAndKeepsHostWindowsAtTheirControls) {
  EXPECT_EQ(m.GetInitWidth(), 300);
  EXPECT_EQ(m.GetMinHeight(), 100);
  // Row: 280 wide inside the inset; label 25% = 70, button 40 + 2 padding, gaps 2 + 2.
  EXPECT_EQ(m.Pos(u"label"), (UiRect{10, 10, 80, 30}));
  EXPECT_EQ(m.placed[Handle(1)], std::make_pair(UiRect{82, 10, 246, 30}, true));
  EXPECT_EQ(m.Pos(u"go"), (UiRect{250, 11, 290, 29}));
  // Column: 20 + 20 + 40 + rest, gaps of 4; the hidden label takes nothing.
  EXPECT_EQ(m.Pos(u"rest"), (UiRect{10, 102, 290, 190}));
  EXPECT_EQ(m.placed[Handle(2)].second, false) << "page 0 is not the selected page";
  EXPECT_EQ(m.placed[Handle(3)], std::make_pair(UiRect{10, 58, 290, 98}, true));

  m.Resize(400, 300);
  EXPECT_EQ(m.placed[Handle(1)].first, (UiRect{107, 10, 346, 30}));
  EXPECT_EQ(m.Pos(u"rest"), (UiRect{10, 102, 390, 290}));

  // The minimum width of the host holds when the window gets narrow.
  m.Resize(120, 300);
  EXPECT_EQ(m.placed[Handle(1)].first.Width(), 50);

  // Showing the hidden label makes room for it at once.
  m.FindControl(u"hidden")->SetVisible(true);
  EXPECT_EQ(m.Pos(u"hidden"), (UiRect{10, 260, 110, 290}));
  EXPECT_EQ(m.Pos(u"rest"), (UiRect{10, 102, 110, 256}));
}

TEST_F(ControlTree, TabLayoutShowsOnePageAndItsHostWindows) {
  auto* tab = static_cast<CTabLayoutUI*>(m.FindControl(u"tab"));
  EXPECT_TRUE(tab->SelectItem(0));
  EXPECT_EQ(m.placed[Handle(2)], std::make_pair(UiRect{10, 58, 290, 98}, true));
  EXPECT_FALSE(m.placed[Handle(3)].second) << "a window inside a hidden page is hidden too";
  EXPECT_TRUE(tab->SelectItem(0)) << "selecting the current page changes nothing";
  EXPECT_FALSE(tab->SelectItem(2));
  EXPECT_FALSE(tab->SelectItem(-1));
  EXPECT_EQ(tab->GetCurSel(), 0);
  EXPECT_EQ(m.notes, (std::vector<std::string>{"tabselect:tab"}));

  // Hiding the tab hides every page's window; showing it brings back only the selected one.
  tab->SetVisible(false);
  EXPECT_FALSE(m.placed[Handle(2)].second);
  tab->SetVisible(true);
  EXPECT_TRUE(m.placed[Handle(2)].second);
  EXPECT_FALSE(m.placed[Handle(3)].second);
}

TEST_F(ControlTree, ClicksSelectOptionsAndNeedPressAndReleaseOnTheSameEnabledButton) {
  auto option = [&](const char16_t* name) { return static_cast<COptionUI*>(m.FindControl(name)); };
  EXPECT_TRUE(option(u"p0")->IsSelected());
  EXPECT_FALSE(option(u"p1")->IsSelected()) << "the first selected option of a group keeps it";

  m.Click(u"p2");
  EXPECT_EQ(m.notes, (std::vector<std::string>{"click:p2", "selectchanged:p2"}));
  EXPECT_FALSE(option(u"p0")->IsSelected());
  EXPECT_TRUE(option(u"p2")->IsSelected());
  m.notes.clear();
  m.Click(u"p2");
  EXPECT_EQ(m.notes, (std::vector<std::string>{"click:p2"})) << "clicking the selected option selects nothing new";

  m.notes.clear();
  option(u"p1")->Selected(true);
  EXPECT_EQ(m.notes, (std::vector<std::string>{"selectchanged:p1"}));
  option(u"p1")->Selected(false);
  EXPECT_EQ(m.notes.size(), 1u) << "clearing a grouped option tells nobody";

  m.notes.clear();
  m.Click(u"toggle");
  m.Click(u"toggle");
  EXPECT_EQ(m.notes, (std::vector<std::string>{"click:toggle", "selectchanged:toggle", "click:toggle",
                                                "selectchanged:toggle"}));
  EXPECT_FALSE(option(u"toggle")->IsSelected());
  m.notes.clear();
  const UiRect go = m.Pos(u"go"), p0 = m.Pos(u"p0");
  m.OnButtonDown(go.left + 1, go.top + 1);
  EXPECT_TRUE(m.captured);
  EXPECT_EQ(m.GetPushedControl(), m.FindControl(u"go"));
  m.OnMouseMove(p0.left + 1, p0.top + 1);
  EXPECT_EQ(m.GetHotControl(), nullptr) << "while held, only the pressed button can be hot";
  m.OnButtonUp(p0.left + 1, p0.top + 1);
  EXPECT_FALSE(m.captured);
  EXPECT_TRUE(m.notes.empty()) << "released elsewhere: no click";

  m.OnButtonDown(go.left + 1, go.top + 1);
  m.OnCaptureLost();
  m.OnButtonUp(go.left + 1, go.top + 1);
  EXPECT_TRUE(m.notes.empty()) << "capture lost: no click";

  m.Click(u"label");
  EXPECT_TRUE(m.notes.empty()) << "a label takes no clicks";

  m.FindControl(u"go")->SetEnabled(false);
  m.Click(u"go");
  EXPECT_TRUE(m.notes.empty()) << "a disabled button takes no clicks";
  m.FindControl(u"go")->SetEnabled(true);
  m.Click(u"go");
  EXPECT_EQ(m.notes, (std::vector<std::string>{"click:go"}));
  EXPECT_EQ(m.GetHotControl(), m.FindControl(u"go"));
  m.OnMouseLeave();
  EXPECT_EQ(m.GetHotControl(), nullptr);
}

}  // namespace
}  // namespace lvx::uilib
