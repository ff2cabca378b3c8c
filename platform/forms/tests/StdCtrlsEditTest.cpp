#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/forms/StdCtrls.h"
#include "platform/forms/tests/FormsTestUtil.h"
#include "platform/win/Api.h"

using namespace forms;
using formstest::FormsFixture;

namespace {

class EditTest : public FormsFixture {
protected:
  void SetUp() override {
    FormsFixture::SetUp();
    form = new TForm(nullptr);
    form->SetBorderStyle(bsNone);
    form->SetBounds(100, 100, 400, 300);
    edit = new TEdit(form);
    edit->SetParent(form);
    edit->SetBounds(10, 10, 150, 21);
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(10, 50, 150, 21);
    edit->OnChange = [this](TObject*) { ++changes; };
    form->Show();
    edit->SetFocus();
    Pump();
  }
  static void Type(const std::string& s) {
    win::InjectText(std::u16string(s.begin(), s.end()));
    Pump();
  }
  static void Chord(std::initializer_list<win::UINT> held, win::UINT vk) {
    for (win::UINT k : held) win::InjectKey(k, true);
    win::InjectKeyPress(vk);
    for (win::UINT k : held) win::InjectKey(k, false);
    Pump();
  }
  static std::string ClipboardText() {
    std::string s;
    if (!win::OpenClipboard(nullptr)) return s;
    if (win::HANDLE mem = win::GetClipboardData(win::CF_TEXT)) {
      s = static_cast<const char*>(win::GlobalLock(mem));
      win::GlobalUnlock(mem);
    }
    win::CloseClipboard();
    return s;
  }
  TForm* form = nullptr;
  TEdit* edit = nullptr;
  TEdit* other = nullptr;
  int changes = 0;
};

TEST_F(EditTest, TypingAndKeyboardEditingChangeTheTextOneStepAtATime) {
  Type("hello world");
  EXPECT_EQ(edit->Text(), "hello world");
  EXPECT_EQ(changes, 11);
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(edit->SelStart(), 11);

  Key(win::VK_HOME);
  Chord({win::VK_SHIFT}, win::VK_RIGHT);
  Chord({win::VK_SHIFT}, win::VK_RIGHT);
  EXPECT_EQ(edit->SelText(), "he");
  Type("J");
  EXPECT_EQ(edit->Text(), "Jllo world");
  Chord({win::VK_CONTROL}, win::VK_RIGHT);
  EXPECT_EQ(edit->SelStart(), 5) << "a word and its blank";
  Key(win::VK_BACK);
  Key(win::VK_DELETE);
  EXPECT_EQ(edit->Text(), "Jlloorld");
  Chord({win::VK_SHIFT}, win::VK_END);
  EXPECT_EQ(edit->SelText(), "orld");
  Key(win::VK_DELETE);
  EXPECT_EQ(edit->Text(), "Jllo");
  Chord({win::VK_CONTROL}, 'Z');
  EXPECT_EQ(edit->Text(), "Jlloorld");

  // Text set by code: caret to the start, not modified.
  edit->SetText("abc");
  EXPECT_FALSE(edit->Modified());
  EXPECT_EQ(edit->SelStart(), 0);
}

TEST_F(EditTest, SelectionPropertiesAndTheirMessagesAgree) {
  edit->SetText("one two three");
  edit->SetSelStart(4);
  edit->SetSelLength(3);
  EXPECT_EQ(edit->SelText(), "two");
  win::DWORD a = 0, b = 0;
  win::SendMessageA(edit->Handle(), win::EM_GETSEL, reinterpret_cast<win::WPARAM>(&a),
                    reinterpret_cast<win::LPARAM>(&b));
  EXPECT_EQ(a, 4u);
  EXPECT_EQ(b, 7u);
  changes = 0;
  edit->SetSelText("2");
  EXPECT_EQ(edit->Text(), "one 2 three");
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(edit->CanUndo()) << "a replacement by code is not undone";
  edit->SelectAll();
  EXPECT_EQ(edit->SelLength(), 11);
  edit->ClearSelection();
  EXPECT_EQ(edit->Text(), "");

  // The selection survives the window being made again.
  edit->SetText("keep this");
  edit->SetSelStart(5);
  edit->SetSelLength(4);
  edit->SetBorderStyle(bsNone);
  EXPECT_EQ(edit->SelText(), "this");
  EXPECT_EQ(win::GetWindowLongA(edit->Handle(), win::GWL_EXSTYLE) & win::WS_EX_CLIENTEDGE, 0);
}

TEST_F(EditTest, ClipboardCutCopyPasteByKeysAndCalls) {
  Type("copy me");
  Chord({win::VK_CONTROL}, 'A');
  Chord({win::VK_CONTROL}, 'C');
  EXPECT_EQ(ClipboardText(), "copy me");
  Key(win::VK_END);
  Chord({win::VK_CONTROL}, 'V');
  EXPECT_EQ(edit->Text(), "copy mecopy me");
  edit->SetSelStart(0);
  edit->SetSelLength(5);
  Chord({win::VK_CONTROL}, 'X');
  EXPECT_EQ(edit->Text(), "mecopy me");
  EXPECT_EQ(ClipboardText(), "copy ");
  Chord({win::VK_SHIFT}, win::VK_INSERT);
  EXPECT_EQ(edit->Text(), "copy mecopy me");

  // A password is never copied out.
  edit->SetPasswordChar('*');
  edit->SelectAll();
  edit->CopyToClipboard();
  EXPECT_EQ(ClipboardText(), "copy ");
  EXPECT_EQ(edit->Text(), "copy mecopy me") << "the text stays readable to the program";
  EXPECT_EQ(win::SendMessageA(edit->Handle(), win::EM_GETPASSWORDCHAR, 0, 0), '*');

  // A single line keeps only the first line of what is pasted.
  win::OpenClipboard(nullptr);
  win::EmptyClipboard();
  const char text[] = "first\r\nsecond";
  win::HGLOBAL mem = win::GlobalAlloc(win::GMEM_MOVEABLE, sizeof text);
  std::memcpy(win::GlobalLock(mem), text, sizeof text);
  win::GlobalUnlock(mem);
  win::SetClipboardData(win::CF_TEXT, mem);
  win::CloseClipboard();
  edit->SetPasswordChar(0);
  edit->SetText("");
  edit->PasteFromClipboard();
  EXPECT_EQ(edit->Text(), "first");
}

TEST_F(EditTest, ReadOnlyMaxLengthAndCharCaseLimitWhatGoesIn) {
  edit->SetMaxLength(5);
  Type("abcdefgh");
  EXPECT_EQ(edit->Text(), "abcde");
  EXPECT_EQ(win::SendMessageA(edit->Handle(), win::EM_GETLIMITTEXT, 0, 0), 5);
  edit->SetText("0123456789");
  EXPECT_EQ(edit->Text(), "0123456789") << "code is not held to the limit";

  edit->SetMaxLength(0);
  edit->SetReadOnly(true);
  edit->SetText("fixed");
  changes = 0;
  Type("x");
  Key(win::VK_BACK);
  Chord({win::VK_CONTROL}, 'X');
  EXPECT_EQ(edit->Text(), "fixed");
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(win::GetWindowLongA(edit->Handle(), win::GWL_STYLE) & win::ES_READONLY);

  edit->SetReadOnly(false);
  edit->SetCharCase(ecUpperCase);
  edit->SetFocus();
  Pump();
  edit->SetText("");
  Type("MiXed");
  EXPECT_EQ(edit->Text(), "MIXED");
}

TEST_F(EditTest, MouseSetsTheCaretAndTabEntrySelectsAll) {
  edit->SetText("alpha beta");
  Click(edit, 140, 8);
  EXPECT_EQ(edit->SelStart(), 10) << "past the end puts the caret at the end";
  Click(edit, 2, 8);
  EXPECT_EQ(edit->SelStart(), 0);
  const win::POINT p = At(edit, 50, 8);
  win::InjectDoubleClick(p.x, p.y);
  Pump();
  EXPECT_EQ(edit->SelText(), "beta");

  other->SetText("auto");
  Key(win::VK_TAB);
  EXPECT_TRUE(other->Focused());
  EXPECT_EQ(other->SelLength(), 4);
}

class MemoTest : public EditTest {
protected:
  void SetUp() override {
    EditTest::SetUp();
    memo = new TMemo(form);
    memo->SetParent(form);
    memo->SetBounds(200, 10, 150, 100);
    memo->OnChange = [this](TObject*) { ++memoChanges; };
    memo->SetFocus();
    Pump();
  }
  int Lines() { return static_cast<int>(win::SendMessageA(memo->Handle(), win::EM_GETLINECOUNT, 0, 0)); }
  TMemo* memo = nullptr;
  int memoChanges = 0;
};

TEST_F(MemoTest, LinesEditTheTextAndTheTextShowsInTheLines) {
  rtl::TStrings* lines = memo->Lines();
  EXPECT_EQ(lines->Count(), 0);
  lines->Add("one");
  lines->Add("two");
  EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(lines->Count(), 2) << "the last break makes no line";
  lines->Insert(1, "one and a half");
  lines->Delete(0);
  lines->SetStrings(1, "2");
  EXPECT_EQ(memo->Text(), "one and a half\r\n2\r\n");
  EXPECT_THROW(lines->Get(2), rtl::EListError);
  memo->SetText("a\r\nb");
  EXPECT_EQ(lines->Count(), 2);
  EXPECT_EQ(lines->Get(1), "b");
  EXPECT_EQ(memoChanges, 6) << "one change per edit of the lines";
  lines->Clear();
  EXPECT_EQ(memo->Text(), "");
}

TEST_F(MemoTest, TypingBreaksLinesAndTheKeysMoveBetweenThem) {
  Type("first");
  Key(win::VK_RETURN);
  Type("second line");
  EXPECT_EQ(memo->Text(), "first\r\nsecond line");
  EXPECT_EQ(memo->CaretPos(), Point(11, 1));
  Key(win::VK_UP);
  EXPECT_EQ(memo->CaretPos().y, 0);
  EXPECT_EQ(memo->CaretPos().x, 5) << "the end of the shorter line";
  Key(win::VK_RIGHT);
  EXPECT_EQ(memo->CaretPos(), Point(0, 1)) << "a line break is one step";
  Key(win::VK_BACK);
  EXPECT_EQ(memo->Text(), "firstsecond line");

  // Tab leaves a memo that does not want tabs; one that does takes it.
  Key(win::VK_TAB);
  EXPECT_FALSE(memo->Focused());
  memo->SetWantTabs(true);
  memo->SetFocus();
  Pump();
  Key(win::VK_TAB);
  EXPECT_TRUE(memo->Focused());
  EXPECT_NE(memo->Text().find('\t'), String::npos);
}

TEST_F(MemoTest, WrappingFollowsTheFormattingRectangleAndTheLineMessagesCountWrappedLines) {
  memo->SetText("the quick brown fox jumps over the lazy dog again and again");
  const int wrapped = Lines();
  EXPECT_GT(wrapped, 1);
  const win::HWND h = memo->Handle();
  EXPECT_EQ(win::SendMessageA(h, win::EM_LINEINDEX, 0, 0), 0);
  const auto second = win::SendMessageA(h, win::EM_LINEINDEX, 1, 0);
  EXPECT_GT(second, 0);
  EXPECT_EQ(memo->Text()[static_cast<size_t>(second) - 1], ' ') << "broken after a blank";
  EXPECT_EQ(win::SendMessageA(h, win::EM_LINEFROMCHAR, static_cast<win::WPARAM>(second), 0), 1);
  char buf[64] = {};
  const win::WORD size = sizeof buf - 1;
  std::memcpy(buf, &size, sizeof size);
  const auto got = win::SendMessageA(h, win::EM_GETLINE, 0, reinterpret_cast<win::LPARAM>(buf));
  EXPECT_EQ(std::string(buf, static_cast<size_t>(got)), memo->Text().substr(0, static_cast<size_t>(got)));
  EXPECT_EQ(win::SendMessageA(h, win::EM_LINEINDEX, 99, 0), -1);

  // A narrower formatting rectangle wraps into more lines; it reads back.
  win::RECT r{2, 2, 60, 90};
  win::SendMessageA(h, win::EM_SETRECTNP, 0, reinterpret_cast<win::LPARAM>(&r));
  EXPECT_GT(Lines(), wrapped);
  win::RECT back{};
  win::SendMessageA(h, win::EM_GETRECT, 0, reinterpret_cast<win::LPARAM>(&back));
  EXPECT_EQ(back.right, 60);
  const win::LRESULT pos = win::SendMessageA(h, win::EM_POSFROMCHAR, 0, 0);
  EXPECT_EQ(win::LOWORD(static_cast<uintptr_t>(pos)), 2);

  memo->SetWordWrap(false);
  EXPECT_EQ(Lines(), 1);
}

TEST_F(MemoTest, VerticalScrollBarFollowsTheCaret) {
  memo->SetScrollBars(ssVertical);
  memo->SetFocus();
  Pump();
  for (int i = 0; i < 20; ++i) {
    Type("line");
    Key(win::VK_RETURN);
  }
  const win::HWND h = memo->Handle();
  const auto first = win::SendMessageA(h, win::EM_GETFIRSTVISIBLELINE, 0, 0);
  EXPECT_GT(first, 10);
  win::SCROLLINFO si;
  si.fMask = win::SIF_ALL;
  ASSERT_TRUE(win::GetScrollInfo(h, win::SB_VERT, &si));
  EXPECT_EQ(si.nPos, first);
  EXPECT_EQ(si.nMax, 20);
  win::SendMessageA(h, win::WM_VSCROLL, win::SB_TOP, 0);
  EXPECT_EQ(win::SendMessageA(h, win::EM_GETFIRSTVISIBLELINE, 0, 0), 0);
}

}  // namespace
