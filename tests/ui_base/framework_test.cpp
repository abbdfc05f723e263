// The framework: message routing and reflection in a dialog made from a template, the modal loop,
// the control wrappers, the message-box seam from any thread, the pickers' filter text, the wait
// cursor and workers posting back.
#include <gtest/gtest.h>

#include <atomic>

#include "framework/app.h"
#include "framework/basic_controls.h"
#include "framework/common_controls.h"
#include "framework/dialog.h"
#include "framework/message_box.h"
#include "framework/pickers.h"
#include "framework/wait_cursor.h"
#include "framework/worker.h"
#include "ui_test_ids.h"
#include "ui_test_support.h"

namespace lvx::ui {
namespace {

constexpr UINT kDoneMessage = WM_APP + 7;

class TestApp : public CApp {
 protected:
  bool InitInstance() override { return false; }
};

// A list view that keeps NM_CLICK to itself and lets other notifications reach its dialog.
class ClickEatingList : public CListView {
 public:
  std::vector<UINT> seen;

 protected:
  bool OnReflectNotify(NMHDR* header, LRESULT* result) override {
    seen.push_back(header->code);
    return header->code == UINT(NM_CLICK);
  }
};

class RoutingDialog : public CDialogBox {
 public:
  RoutingDialog() : CDialogBox(IDD_CONTROLS) {}
  std::vector<std::pair<int, int>> commands;
  std::vector<UINT> notifications;
  bool initialised = false;
  UINT_PTR postOnTimer = 0;  // the command the timer posts
  bool ownerWasDisabled = false;
  HWND owner = nullptr;

 protected:
  bool OnInitDialog() override {
    initialised = true;
    return !postOnTimer || SetTimer(1, 10);
  }
  bool OnCommand(int id, int code, HWND control) override {
    commands.push_back({id, code});
    return false;
  }
  bool OnNotify(NMHDR* header, LRESULT* result) override {
    notifications.push_back(header->code);
    return false;
  }
  bool OnTimer(UINT_PTR id) override {
    KillTimer(id);
    ownerWasDisabled = owner && !::IsWindowEnabled(owner);
    return postOnTimer == WM_CLOSE ? Post(WM_CLOSE) : Post(WM_COMMAND, MAKEWPARAM(postOnTimer, BN_CLICKED), 0);
  }
};

class FrameworkTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { InitCommonControls(); }
};

TEST_F(FrameworkTest, RoutingPreTranslationAndWrappersInADialogFromATemplate) {
  struct KeyTaker : RoutingDialog {
    std::vector<HWND> offered;
    bool PreTranslateMessage(MSG* msg) override {
      offered.push_back(msg->hwnd);
      return msg->message == WM_KEYDOWN;
    }
  } dialog;
  ASSERT_TRUE(dialog.CreateModeless(nullptr));
  EXPECT_TRUE(dialog.initialised);
  EXPECT_FALSE(dialog.IsVisible());
  ClickEatingList list;
  ASSERT_TRUE(list.SubclassDlgItem(IDC_LISTVIEW, dialog.Handle()));
  EXPECT_FALSE(CListView().Subclass(list.Handle())) << "a window has one object";

  ::SendMessageW(dialog.Item(IDC_PRESS), BM_CLICK, 0, 0);
  EXPECT_EQ(dialog.commands, (std::vector<std::pair<int, int>>{{IDC_PRESS, BN_CLICKED}}));

  for (auto [code, dialogSees] : {std::pair{UINT(NM_CLICK), false}, {UINT(NM_DBLCLK), true}, {UINT(NM_RCLICK), true}}) {
    dialog.notifications.clear();
    NMHDR header = {list.Handle(), UINT_PTR(IDC_LISTVIEW), code};
    dialog.Send(WM_NOTIFY, IDC_LISTVIEW, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(list.seen.back(), code);
    EXPECT_EQ(!dialog.notifications.empty(), dialogSees) << code;
  }
  MSG key = {dialog.Item(IDC_EDIT), WM_KEYDOWN, VK_RETURN, 0, 0, {}};
  MSG other = {dialog.Item(IDC_EDIT), WM_CHAR, L'a', 0, 0, {}};
  EXPECT_TRUE(RoutePreTranslate(&key));
  EXPECT_FALSE(RoutePreTranslate(&other));
  EXPECT_EQ(dialog.offered.size(), 2u) << "the edit box has no object; its dialog was asked";

  // The wrappers' own rules: text of any length and alphabet, indexes and commands out of range, a
  // spin box's typed text that is no number. Plain pass-through calls (dates, ticks in lists, menus)
  // are left to the windows that use them.
  auto attach = [&](CWindow& w, int id) { w.Attach(dialog.Item(id)); };

  CEditBox edit;
  attach(edit, IDC_EDIT);
  edit.SetText(L"Gr\u00f6\u00dfe \u2713");
  EXPECT_EQ(edit.Text(), L"Gr\u00f6\u00dfe \u2713");

  CComboBox combo;
  attach(combo, IDC_COMBO);
  for (const wchar_t* s : {L"Alpha", L"Beta", L"Gamma"}) combo.Add(s);
  EXPECT_TRUE(combo.Select(1));
  EXPECT_FALSE(combo.Select(3));
  EXPECT_FALSE(combo.Delete(-1));
  EXPECT_EQ(combo.ItemText(7), L"");

  CUpDown spin;
  CEditBox spinEdit;
  attach(spin, IDC_SPIN);
  attach(spinEdit, IDC_SPIN_EDIT);
  spin.SetRange(0, 0x7FFFFFFF);
  spin.SetPosition(2147483647);
  EXPECT_EQ(spinEdit.Text(), L"2147483647");
  for (auto [text, valid] : {std::pair{L"77", true}, {L"12x", false}}) {
    spinEdit.SetText(text);
    bool read = !valid;
    const int got = spin.Position(&read);
    EXPECT_EQ(read, valid) << testing::PrintToString(std::wstring(text));
    EXPECT_TRUE(!valid || got == 77) << got;
  }

  std::wstring longText(700, L'x');
  ASSERT_EQ(list.InsertColumn(0, L"Drive", 150), 0);
  ASSERT_EQ(list.InsertItem(0, L"C:"), 0);
  EXPECT_TRUE(list.SetItemText(0, 0, longText));
  EXPECT_EQ(list.ItemText(0, 0), longText);

  // A dialog's object lets go of its window when the window goes, and the control's object too.
  HWND listHandle = list.Handle();
  dialog.Destroy();
  EXPECT_EQ(dialog.Handle(), nullptr);
  EXPECT_EQ(list.Handle(), nullptr);
  EXPECT_FALSE(::IsWindow(listHandle));
}

TEST_F(FrameworkTest, ModalDialogEndsWithThePostedCommandAndFreesItsOwner) {
  CWindow owner;
  ASSERT_TRUE(owner.CreateFrame(0, L"owner", WS_OVERLAPPEDWINDOW, RECT{0, 0, 200, 100}, nullptr));
  for (auto [post, result] :
       {std::pair<UINT_PTR, INT_PTR>{IDOK, IDOK}, {IDCANCEL, IDCANCEL}, {WM_CLOSE, IDCANCEL}}) {
    RoutingDialog dialog;
    dialog.postOnTimer = post;
    dialog.owner = owner.Handle();
    EXPECT_EQ(dialog.DoModal(owner.Handle()), result) << post;
    EXPECT_TRUE(dialog.ownerWasDisabled);
    EXPECT_TRUE(owner.IsEnabled());
    EXPECT_EQ(dialog.Handle(), nullptr);
  }
  EXPECT_EQ(CDialogBox(4242).DoModal(owner.Handle()), -1) << "no such template";
}

TEST_F(FrameworkTest, MessageBoxesGoThroughTheSeamFromAnyThread) {
  TestApp app;
  app.SetTitle(L"Lumivex");
  std::vector<MessageRequest> asked;
  std::vector<int> answers = {IDNO, IDYES, IDOK};
  SetMessageResponder([&](const MessageRequest& r) {
    asked.push_back(r);
    return answers[asked.size() - 1];
  });
  EXPECT_FALSE(AskYesNo(nullptr, L"Stop ?", L"Lumivex"));
  EXPECT_TRUE(AskYesNo(nullptr, L"Stop ?", L"Lumivex"));
  // From a worker thread too, and with the application's title when no caption is given.
  int fromWorker = 0;
  CWorker worker([&](WorkerControl&) {
    fromWorker = MessageBoxFor(nullptr, L"Invalid file path!", L"", MB_OK);
    return 0u;
  });
  ASSERT_TRUE(worker.Start());
  ASSERT_TRUE(worker.Stop(5000));
  EXPECT_EQ(fromWorker, IDOK);
  SetMessageResponder(nullptr);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0].type, UINT(MB_YESNO | MB_ICONEXCLAMATION));
  EXPECT_EQ(asked[2].caption, L"Lumivex");

  // The pickers' seam is driven by the tests of the windows that browse; their filter text is made here.
  using namespace std::literals;
  for (auto [bars, expected] : {std::pair{L"Icon Files(*.ico)|*.ico|All Files (*.*)|*.*||"sv,
                                          L"Icon Files(*.ico)\0*.ico\0All Files (*.*)\0*.*\0\0"sv},
                                {L"Text|*.txt"sv, L"Text\0*.txt\0\0"sv}, {L""sv, L"\0\0"sv}})
    EXPECT_EQ(FilterFromBars(bars), expected);
}

TEST_F(FrameworkTest, WorkerPostsItsPayloadToTheWindowAndStops) {
  struct Receiver : CWindow {
    std::wstring got;
    bool WindowProc(UINT msg, WPARAM w, LPARAM l, LRESULT* result) override {
      if (msg != kDoneMessage) return CWindow::WindowProc(msg, w, l, result);
      got = *TakePosted<std::wstring>(l);
      return true;
    }
  } receiver;
  ASSERT_TRUE(receiver.CreateFrame(0, L"receiver", WS_POPUP, RECT{0, 0, 10, 10}, nullptr));
  HWND target = receiver.Handle();
  std::atomic<int> rounds{0};
  CWorker worker([target, &rounds](WorkerControl& control) {
    PostOwned(target, kDoneMessage, 0, std::make_unique<std::wstring>(L"done"));
    while (control.WaitForWork(os::kInfinite)) ++rounds;
    return 7u;
  });
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.Start());
  ASSERT_TRUE(uitest::PumpUntil([&] { return !receiver.got.empty(); }, 5000));
  EXPECT_EQ(receiver.got, L"done");
  worker.Wake();
  ASSERT_TRUE(uitest::PumpUntil([&] { return rounds.load() == 1; }, 5000));
  EXPECT_TRUE(worker.Stop(5000));

  // A payload whose post fails is freed, not lost.
  struct Counted {
    int* deleted;
    ~Counted() { ++*deleted; }
  };
  int deleted = 0;
  receiver.Destroy();
  EXPECT_FALSE(PostOwned(target, kDoneMessage, 0, std::unique_ptr<Counted>(new Counted{&deleted})));
  EXPECT_EQ(deleted, 1);
}

TEST_F(FrameworkTest, WaitCursorNestsAndRestores) {
  HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW), wait = ::LoadCursorW(nullptr, IDC_WAIT);
  ::SetCursor(arrow);
  {
    CWaitCursor outer;
    {
      CWaitCursor inner;
      EXPECT_EQ(::GetCursor(), wait);
    }
    EXPECT_TRUE(CWaitCursor::Active());
    EXPECT_EQ(::GetCursor(), wait);
  }
  EXPECT_FALSE(CWaitCursor::Active());
  EXPECT_EQ(::GetCursor(), arrow);
}

}  // namespace
}  // namespace lvx::ui
