// The actions on the selected rows of the results list, in a hidden window: what each hands to the
// shell (recorded, nothing started), the clipboard bytes, deleting real files to the Recycle Bin, the
// result menu with the shell's context menu, and saving the list with its dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/win_api.h"
#include <shellapi.h>

#include "framework/message_box.h"
#include "framework/pickers.h"
#include "list_host.h"
#include "platform/fault.h"
#include "platform/text.h"
#include "resource.h"
#include "results/result_actions.h"
#include "results/result_menu.h"
#include "results/save_results.h"
#include "results/save_results_dlg.h"
#include "results/shell_calls.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"
#include "ui_test_support.h"

namespace lvx::results {
namespace {

using listhost::Rows;
using namespace std::string_literals;

std::wstring W(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }

class ResultActionsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ui::InitCommonControls(), ::OleInitialize(nullptr); }

  void SetUp() override {
    ASSERT_TRUE(frame.Create());
    ASSERT_TRUE(listhost::MakeList(list, frame, 1001, temp.Path()));
    actions = std::make_unique<CResultActions>(&list, frame.Handle(), [this](const std::u16string& s) { status = s; },
                                               [this](const std::u16string& s) { location = s; });
    SetShellResponder([this](const ShellCall& call, ShellOutcome* outcome) {
      if (call.kind == ShellCall::Delete && passDelete) return false;
      calls.push_back(Describe(call));
      *outcome = answer;
      return true;
    });
    ui::SetMessageResponder([this](const ui::MessageRequest& r) {
      questions.push_back(r.text + L"|" + r.caption);
      return reply;
    });
  }
  void TearDown() override {
    SetShellResponder(nullptr);
    ui::SetMessageResponder(nullptr);
    ui::SetPickResponder(nullptr);
    list.StopIconThread();
  }

  static std::wstring Describe(const ShellCall& c) {
    if (c.kind == ShellCall::Execute) return L"run [" + c.verb + L"] [" + c.file + L"] [" + c.parameters + L"]";
    if (c.kind == ShellCall::Process) return L"start [" + c.file + L"] [" + c.parameters + L"] in [" + c.directory + L"]";
    std::wstring list = c.fileList;
    for (wchar_t& ch : list) ch = ch ? ch : L'|';
    return L"delete [" + list + L"] " + std::to_wstring(c.flags);
  }
  void Select(const std::vector<int>& selected) {
    list.SetItemState(-1, 0, LVIS_SELECTED);
    for (int row : selected) list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
  }
  std::vector<std::u16string> RowNames() {
    std::vector<std::u16string> names;
    std::u16string name, path;
    for (int row = 0; list.GetItemPath(row, &name, &path); ++row) names.push_back(name);
    return names;
  }
  std::filesystem::path Host(const std::string& relative) { return std::filesystem::path(temp.HostPath()) / relative; }
  // A small file in the temporary folder (written, not sized: wine sometimes refuses to size one).
  void Touch(const std::string& relative) { std::ofstream(Host(relative)) << "x"; }

  test::TempDir temp;
  listhost::HostFrame frame;
  CListCtrlEx list;
  Rows rows;
  std::vector<std::wstring> calls, questions;
  std::u16string status, location = u"unset";
  ShellOutcome answer = ShellOutcome::Done;
  bool passDelete = false;
  int reply = IDOK;
  std::unique_ptr<CResultActions> actions;
};

// What each action hands the shell or the clipboard, the search location it sets and the question it
// asks.
TEST_F(ResultActionsTest, EachActionHandsTheShellOrTheClipboardItsExactData) {
  // A file, a shortcut, a drive, a folder named to trouble a command interpreter.
  rows.Add(u"D:\\Work\\", u"report.txt", 10).Add(u"C:\\links\\", u"Start.URL", 1);
  rows.Add(u"", u"E:", 5, true).Add(u"C:\\a&b %PATH%\\", u"sub", 0, true);
  listhost::ShowRows(list, rows);
  const std::wstring cmd = SystemProgram(L"cmd.exe");
  struct Case { UINT id; std::vector<int> selected; std::vector<std::wstring> expected;
                std::u16string location = u"unset"; std::wstring question = L""; } cases[] = {
      {ID_LIST_OPEN, {0, 1}, {L"run [] [\"D:\\Work\\report.txt\"] []", L"run [open] [rundll32.exe] [shdocvw.dll,OpenURL C:\\links\\Start.URL]"}},
      {ID_LIST_BROWSE_FILE, {0, 2}, {L"run [Open] [explorer.exe] [ /select,\"D:\\Work\\report.txt\"]", L"run [Open] [explorer.exe] [ /select,\"E:\"]"}},
      {ID_LIST_BROWSE_FOLDER, {0, 2}, {L"run [Open] [explorer.exe] [ \"D:\\Work\\\"]", L"run [Open] [explorer.exe] [ \"\"]"}},
      // The folder is the working directory; nothing of it reaches the interpreter's command line.
      {ID_LIST_COMMAND_PROMPT, {2, 3},
       {L"start [" + cmd + L"] [\"" + cmd + L"\"] in [E:\\]", L"start [" + cmd + L"] [\"" + cmd + L"\"] in [C:\\a&b %PATH%\\]"}},
      {ID_LIST_SEARCH_SAME_FOLDER, {0}, {}, u"D:\\Work\\"},
      {ID_LIST_SEARCH_SAME_FOLDER, {2}, {}, u"E:"},
      {ID_LIST_SEARCH_THIS_FOLDER, {3}, {}, u"C:\\a&b %PATH%\\sub"},
      {ID_LIST_SEARCH_THIS_FOLDER, {0}, {}, u"", L"This is not a folder!|Lumivex"},
      {ID_LIST_SEARCH_THIS_FOLDER, {}, {}},
  };
  for (const Case& c : cases) {
    calls.clear();
    questions.clear();
    location = u"unset";
    Select(c.selected);
    EXPECT_TRUE(actions->RunCommand(c.id));
    EXPECT_EQ(calls, c.expected) << c.id;
    EXPECT_EQ(location, c.location) << c.id;
    EXPECT_EQ(questions, c.question.empty() ? std::vector<std::wstring>{} : std::vector{c.question}) << c.id;
  }
  EXPECT_FALSE(actions->RunCommand(ID_FILE_SAVE_RESULTS));
  // The clipboard's texts and drop list, byte for byte.
  auto clipboard = [&](UINT format) {
    std::vector<uint8_t> bytes;
    if (!::OpenClipboard(frame.Handle())) return bytes;
    if (HGLOBAL data = ::GetClipboardData(format)) {
      const uint8_t* p = static_cast<const uint8_t*>(::GlobalLock(data));
      bytes.assign(p, p + ::GlobalSize(data));
      ::GlobalUnlock(data);
    }
    ::CloseClipboard();
    return bytes;
  };
  auto text = [&] { return std::u16string(reinterpret_cast<const char16_t*>(clipboard(CF_UNICODETEXT).data())); };
  Select({0, 2});
  actions->RunCommand(ID_LIST_COPY_FULL_PATH);
  EXPECT_EQ(text(), u"D:\\Work\\report.txt\r\nE:\r\n");
  actions->RunCommand(ID_LIST_COPY_LOCATION);
  EXPECT_EQ(text(), u"D:\\Work\\\r\nE:\r\n");
  actions->RunCommand(ID_EDIT_COPY_FILES);
  const std::u16string names = u"D:\\Work\\report.txt\0E:\\\0\0"s;
  std::vector<uint8_t> expected = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  const uint8_t* n = reinterpret_cast<const uint8_t*>(names.data());
  expected.insert(expected.end(), n, n + names.size() * 2);
  std::vector<uint8_t> drop = clipboard(CF_HDROP);
  ASSERT_GE(drop.size(), expected.size());
  EXPECT_EQ(std::vector<uint8_t>(drop.begin(), drop.begin() + long(expected.size())), expected);
  // No selection: the drop list leaves the clipboard as it was.
  Select({});
  actions->RunCommand(ID_LIST_COPY);
  EXPECT_EQ(clipboard(CF_HDROP), drop);
}

// Answers the shell's confirmation as a user would, with the button given, from inside the dialog's
// message loop.
struct ConfirmAnswerer {
  static inline int button = 0;
  UINT_PTR timer;
  explicit ConfirmAnswerer(int with) {
    button = with;
    timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
      ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND w, LPARAM) -> BOOL {
        wchar_t name[16] = {};
        ::GetClassNameW(w, name, 16);
        if (std::wstring(name) != L"#32770" || !::IsWindowVisible(w)) return TRUE;
        ::PostMessageW(w, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        return FALSE;
      }, 0);
    });
  }
  ~ConfirmAnswerer() { ::KillTimer(nullptr, timer); }
};

TEST_F(ResultActionsTest, DeleteRecyclesTheFilesAndRemovesOnlyTheirRows) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) Touch(name);
  rows.Add(temp.Path(), u"a.txt", 1).Add(u"", u"C:", 5, true);
  rows.Add(temp.Path(), u"b.txt", 2).Add(temp.Path(), u"c.txt", UINT32_MAX);
  listhost::ShowRows(list, rows);
  // A failed operation keeps every row (a cancelled one below, by the user's No).
  answer = ShellOutcome::Failed;
  Select({0, 1, 2});
  actions->RunCommand(ID_EDIT_DELETE_FILES);
  EXPECT_EQ(RowNames().size(), 4u);
  const std::wstring folder = W(temp.Path());
  EXPECT_EQ(calls.back(), L"delete [" + folder + L"a.txt|" + folder + L"b.txt||] " + std::to_wstring(FOF_ALLOWUNDO | FOF_WANTNUKEWARNING));
  EXPECT_EQ(status, u"");
  // For real, under wine's Recycle Bin: the user says No, then Yes.
  passDelete = true;
  for (int button : {IDNO, IDYES}) {
    ConfirmAnswerer user(button);
    Select({0, 1, 2});
    actions->RunCommand(ID_LIST_DELETE);
    EXPECT_EQ(RowNames().size(), button == IDNO ? 4u : 2u);
  }
  for (auto [name, kept] : {std::pair{"a.txt", false}, {"b.txt", false}, {"c.txt", true}}) {
    EXPECT_EQ(std::filesystem::exists(Host(name)), kept) << name;
  }
  EXPECT_EQ(RowNames(), (std::vector<std::u16string>{u"C:", u"c.txt"}));
  EXPECT_EQ(status, u"2 Items Found (4,294,967,300KB)");
}

// The result menu with its tracking answered: the menu as it would show, and the command chosen.
class AnsweredMenu : public CResultMenu {
 public:
  AnsweredMenu(CListCtrlEx* list, HWND owner) : CResultMenu(list, owner), owner_(owner) {}
  HWND owner_;
  UINT choice = 0;
  int tracked = 0;
  std::vector<std::wstring> explorerItems;  // the texts of "E&xplorer Action" once opened

 protected:
  UINT Track(HMENU menu, POINT) override {
    ++tracked;
    explorerItems.clear();
    ::SendMessageW(owner_, WM_INITMENUPOPUP, WPARAM(::GetSubMenu(menu, 0)), 0);
    HMENU sub = ::GetSubMenu(menu, 0);  // the shell's menu in the placeholder's place
    for (int i = 0; sub && i < ::GetMenuItemCount(sub); ++i) {
      wchar_t text[128] = {};
      ::GetMenuStringW(sub, UINT(i), text, 128, MF_BYPOSITION);
      explorerItems.push_back(text);
    }
    return choice;
  }
};

TEST_F(ResultActionsTest, ResultMenuOffersTheShellMenuOnlyForOneFolder) {
  rows.Add(u"C:\\no such folder\\", u"none.txt");
  // Rows of files made for real in the temporary folder, one of them in a subfolder.
  temp.MakeFolder("sub");
  for (std::string name : {"one.txt", "two.txt", "sub\\three.txt"}) {
    Touch(name);
    const std::u16string full = temp.Path() + std::u16string(name.begin(), name.end());
    rows.Add(full.substr(0, full.rfind(u'\\') + 1), full.substr(full.rfind(u'\\') + 1), 1);
  }
  listhost::ShowRows(list, rows);
  AnsweredMenu menu(&list, frame.Handle());
  menu.ShowAt(POINT{10, 10});
  EXPECT_EQ(menu.tracked, 0) << "no selection, no menu";
  POINT at = {};
  EXPECT_FALSE(menu.KeyboardPoint(&at));

  // Two folders: only the note, and the program's own command still reaches the window. From the
  // keyboard the menu opens beside the first selected row.
  Select({1, 3});
  ASSERT_TRUE(menu.KeyboardPoint(&at));
  RECT rc = {LVIR_BOUNDS, 0, 0, 0};
  list.Send(LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&rc));
  POINT expected = {rc.left + 100, rc.top};
  ::ClientToScreen(list.Handle(), &expected);
  EXPECT_EQ(std::pair(at.x, at.y), std::pair(expected.x, expected.y));
  menu.choice = ID_LIST_OPEN;
  menu.ShowAt(POINT{10, 10});
  EXPECT_EQ(menu.explorerItems, std::vector<std::wstring>{L"Not in the same folder"});
  // One folder: the shell's own menu for the two files; then an item the shell does not know. The
  // program's command passes the shell's menu either way.
  for (auto [selected, known] : {std::pair{std::vector<int>{1, 2}, true}, {std::vector<int>{0}, false}}) {
    Select(selected);
    menu.ShowAt(POINT{10, 10});
    ASSERT_FALSE(menu.explorerItems.empty());
    EXPECT_EQ(menu.explorerItems[0] == L"Not available for this item.", !known);
  }
  EXPECT_EQ(frame.commands, std::vector<int>(3, ID_LIST_OPEN));
}

// Saving: the file's bytes for each format and choice, the refusals, and Notepad.
class SaveResultsTest : public ResultActionsTest {
 protected:
  std::string Saved(const std::u16string& format, bool selectedOnly) {
    calls.clear();
    const std::u16string file = temp.Path() + u"saved.txt";
    if (SaveResults(list, file, format, selectedOnly) != 0) return "<not saved>";
    EXPECT_EQ(calls, std::vector<std::wstring>{L"run [Open] [notepad.exe] [ \"" + W(file) + L"\"]"});
    std::ifstream in(Host("saved.txt"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

TEST_F(SaveResultsTest, LinesFollowTheFormatAndTheSelectionAndFailuresAreTold) {
  test::RecordingMessages boxes;
  EXPECT_EQ(Saved(u"[FILENAME]", false), "<not saved>");
  rows.Add(u"C:\\Windows\\", u"notepad.exe").Add(u"", u"C:", 0, true).Add(u"D:\\[FILENAME]\\", u"x.txt");
  listhost::ShowRows(list, rows);
  Select({0, 2});
  struct Case { std::u16string format; bool selectedOnly; std::string expected; } cases[] = {
      {u"[FILEDIR][FILENAME]", false, "C:\\Windows\\notepad.exe\r\nC:\r\nD:\\[FILENAME]\\x.txt\r\n"},
      {u"[FILENAME] in [FILEDIR] ([FILENAME])", true, "notepad.exe in C:\\Windows\\ (notepad.exe)\r\nx.txt in D:\\[FILENAME]\\ (x.txt)\r\n"},
      {u"[FILEDIR]", true, "C:\\Windows\\\r\nD:\\[FILENAME]\\\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(Saved(c.format, c.selectedOnly), c.expected) << U8(c.format);
  Select({});
  EXPECT_EQ(Saved(u"[FILENAME]", true), "");
  EXPECT_EQ(SaveResults(list, temp.Path() + u"no folder\\saved.txt", u"[FILENAME]", false), -1);
  os::fault::FailNth(os::fault::Op::Write, 1, os::Error::DiskFull);
  EXPECT_EQ(Saved(u"[FILENAME]", false), "<not saved>");
  os::fault::Reset();
  EXPECT_TRUE(calls.empty());
  EXPECT_EQ(boxes.Texts(), (std::vector<std::u16string>{u"Can not save without results!", u"Couldn't create the file!",
                                                        u"Couldn't write the file!"}));
  // A name the code page cannot hold: marked in its line, and told once.
  rows.Add(u"C:\\", u"\u4e2d\u6587.txt");
  listhost::ShowRows(list, rows);
  char fallback[8] = {};
  BOOL used = FALSE;
  const wchar_t chinese[] = L"\u4e2d";
  ::WideCharToMultiByte(CP_ACP, 0, chinese, 1, fallback, sizeof fallback, nullptr, &used);
  if (!used) GTEST_SKIP() << "the code page holds the name";
  EXPECT_EQ(Saved(u"[FILENAME]", false),
            std::string("notepad.exe\r\nC:\r\nx.txt\r\n") + fallback + fallback + ".txt\r\n");
  ASSERT_EQ(boxes.Count(), 4u);
  EXPECT_EQ(boxes.Texts()[3].rfind(u"1 lines hold characters", 0), 0u) << U8(boxes.Texts()[3]);
}

TEST_F(SaveResultsTest, DialogChecksItsEntriesAndAsksBeforeReplacing) {
  Touch("old.txt");
  const std::u16string existing = temp.Path() + u"old.txt";
  const std::wstring blank = L"Invalid information, file path or save format must not be blank.|";
  const std::wstring noPlaceholder = L"Invalid save format, format must contain [FILEDIR] or [FILENAME] filed. |";
  const std::wstring overwrite = L"File already exists. Do you want to overwrite it ?|Confirm Message";
  struct Case { std::u16string path, format; int reply; std::wstring question; bool ends; } cases[] = {
      {u"  ", u"[FILENAME]", IDOK, blank, false},
      {u"C:\\x.txt", u" \t", IDOK, blank, false},
      {u"C:\\x.txt", u"[NAME]", IDOK, noPlaceholder, false},
      {existing, u"[FILEDIR]", IDNO, overwrite, false},
      {existing, u"[FILEDIR]", IDYES, overwrite, true},
      {u" " + temp.Path() + u"new.txt ", u" [FILENAME] ", IDOK, L"", true},
  };
  ui::SetPickResponder([](const ui::PickRequest& r, ui::PickAnswer* a) {
    EXPECT_EQ(r.initial, L"SearchResults.txt");
    EXPECT_EQ(r.filter, L"Text Files(*.txt)|*.txt|All Files (*.*)|*.*||");
    a->path = L"D:\\lists\\mine.txt";
    return true;
  });
  for (const Case& c : cases) {
    CSaveResultsDlg dialog;
    ASSERT_TRUE(dialog.CreateModeless(frame.Handle()));
    EXPECT_EQ(dialog.FilePath() + u"|" + dialog.LineFormat(), u"C:\\SearchResults.txt|[FILEDIR][FILENAME]");
    if (&c == &cases[0]) uitest::Shoot(dialog.Handle(), "results_save_dialog");
    // "Browse..." puts the chosen file into the path box; then the case's path is typed over it.
    ::SendDlgItemMessageW(dialog.Handle(), IDC_SAVE_BROWSE, BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.FilePath(), u"D:\\lists\\mine.txt");
    ::SetDlgItemTextW(dialog.Handle(), IDC_SAVE_FILE_PATH, W(c.path).c_str());
    ::SetDlgItemTextW(dialog.Handle(), IDC_SAVE_FORMAT, W(c.format).c_str());
    ::SendDlgItemMessageW(dialog.Handle(), IDC_SAVE_SELECTED_ONLY, BM_CLICK, 0, 0);
    questions.clear();
    reply = c.reply;
    ::SendDlgItemMessageW(dialog.Handle(), IDOK, BM_CLICK, 0, 0);
    EXPECT_EQ(questions.empty() ? L"" : questions[0], c.question) << U8(c.path);
    EXPECT_EQ(dialog.Result() == IDOK, c.ends) << U8(c.path);
    EXPECT_TRUE(dialog.SelectedOnly());
    if (c.ends) { EXPECT_EQ(dialog.FilePath() + u"|" + dialog.LineFormat(), Trim(c.path) + u"|" + Trim(c.format)); }
    dialog.Destroy();
  }
}

}  // namespace
}  // namespace lvx::results
