#include <gtest/gtest.h>

#include <cstring>

#include "WinTestUtil.h"
#include "platform/win/Api.h"

namespace {

using namespace win;

class Clipboard : public ::testing::Test {
protected:
  void TearDown() override {
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      CloseClipboard();
    }
    SetClipboardChangeListener(nullptr);
    wintest::Cleanup();
  }
};

HGLOBAL block(const void* data, size_t size) {
  HGLOBAL h = GlobalAlloc(GHND, size);
  std::memcpy(GlobalLock(h), data, size);
  GlobalUnlock(h);
  return h;
}

TEST_F(Clipboard, TextGoesInOneEncodingAndComesOutInEither) {
  HWND owner = wintest::MakeTopLevel(0, 0, 10, 10);
  int changes = 0;
  SetClipboardChangeListener([&] { ++changes; });
  ASSERT_TRUE(OpenClipboard(owner));
  EXPECT_FALSE(OpenClipboard(nullptr));  // one opener at a time
  EXPECT_EQ(GetOpenClipboardWindow(), owner);
  ASSERT_TRUE(EmptyClipboard());
  const char text[] = "caf\xc3\xa9";
  HGLOBAL h = block(text, sizeof text);
  EXPECT_EQ(SetClipboardData(CF_TEXT, h), h);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(GetClipboardOwner(), owner);
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_UNICODETEXT));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_HDROP));
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);  // not open
  ASSERT_TRUE(OpenClipboard(nullptr));
  HGLOBAL wide = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(wide))), u"caf\u00e9");
  EXPECT_STREQ(static_cast<const char*>(GlobalLock(GetClipboardData(CF_TEXT))), text);
  EXPECT_EQ(EnumClipboardFormats(0), CF_TEXT);
  EXPECT_EQ(EnumClipboardFormats(CF_TEXT), 0u);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_EQ(changes, 1);  // reading changes nothing
}

TEST_F(Clipboard, FileListsAndRegisteredFormatsKeepTheirBytes) {
  const UINT effect = RegisterClipboardFormatA("Preferred DropEffect");
  EXPECT_GE(effect, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormatA("preferred dropeffect"), effect);
  char name[32];
  EXPECT_EQ(GetClipboardFormatNameA(effect, name, sizeof name), 20);
  EXPECT_STREQ(name, "Preferred DropEffect");
  // A DROPFILES block: 20-byte header, wide names, double terminator.
  std::vector<uint8_t> drop(20, 0);
  drop[0] = 20;
  drop[16] = 1;  // fWide
  for (char16_t c : std::u16string(u"/tmp/a.avi")) drop.push_back(static_cast<uint8_t>(c)), drop.push_back(0);
  drop.insert(drop.end(), 4, 0);
  const DWORD copy = 1;
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_HDROP, block(drop.data(), drop.size()));
  SetClipboardData(effect, block(&copy, sizeof copy));
  CloseClipboard();
  ASSERT_TRUE(OpenClipboard(nullptr));
  HGLOBAL h = GetClipboardData(CF_HDROP);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(GlobalSize(h), drop.size());
  EXPECT_EQ(std::memcmp(GlobalLock(h), drop.data(), drop.size()), 0);
  EXPECT_EQ(*static_cast<const DWORD*>(GlobalLock(GetClipboardData(effect))), 1u);
  EXPECT_EQ(CountClipboardFormats(), 2);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  // Emptying frees what the clipboard held.
  EmptyClipboard();
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalLock(h), nullptr);
  CloseClipboard();
}

TEST_F(Clipboard, MessageBeepIsRecorded) {
  ClearBeeps();
  MessageBeep(MB_ICONEXCLAMATION);
  MessageBeep(0);
  EXPECT_EQ(RecordedBeeps(), (std::vector<UINT>{MB_ICONEXCLAMATION, MB_OK}));
  ClearBeeps();
  EXPECT_TRUE(RecordedBeeps().empty());
}

}  // namespace
