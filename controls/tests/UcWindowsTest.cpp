// The wrappers' two branches: the wide call on a Unicode platform, and the
// 8-bit call with converted text when the platform flag is forced off.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "controls/tests/UcTestUtil.h"
#include "controls/uc/UcSysUtils.h"
#include "controls/uc/UcWindows.h"
#include "platform/rtl/tests/PythonRunner.h"
#include "platform/win/Dc.h"
#include "platform/win/Font.h"
#include "platform/win/Window.h"

using namespace controls;
using uctest::AnsiCodePage;

namespace {

WideChar Upper(WideChar c) {
  return static_cast<WideChar>(reinterpret_cast<uintptr_t>(WCharUpper(reinterpret_cast<WideChar*>(uintptr_t{c}))));
}

// A string table block: 16 entries, each a 16-bit length and its units.
std::string StringTable(const std::vector<std::u16string>& entries) {
  std::string block;
  for (size_t i = 0; i < 16; ++i) {
    const std::u16string s = i < entries.size() ? entries[i] : std::u16string();
    block += static_cast<char>(s.size() & 0xFF);
    block += static_cast<char>(s.size() >> 8);
    for (char16_t c : s) {
      block += static_cast<char>(c & 0xFF);
      block += static_cast<char>(c >> 8);
    }
  }
  return block;
}

}  // namespace

TEST(UcWindows, DrawTextOfTheFirstCountUnitsInBothBranches) {
  win::HDC dc = win::CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  auto extent = [&](const WideChar* text, int count) {
    win::RECT r{0, 0, 0, 0};
    WDrawText(dc, text, count, &r, win::DT_CALCRECT | win::DT_SINGLELINE | win::DT_NOPREFIX);
    return r.right;
  };
  const int whole = extent(u"WWWiii", -1);
  const int three = extent(u"WWW", -1);
  ASSERT_GT(whole, three);
  EXPECT_EQ(extent(u"WWWiii", 3), three);
  {
    ForcePlatformFlag ansi(false);
    EXPECT_EQ(extent(u"WWWiii", 3), three);
    EXPECT_EQ(extent(u"WWWiii", -1), whole);
  }
  win::DeleteDC(dc);
}

TEST(UcWindows, WindowTextThroughTheAnsiCodePage) {
  win::WNDCLASSW wc;
  wc.lpfnWndProc = [](win::HWND h, win::UINT m, win::WPARAM w, win::LPARAM l) { return win::DefWindowProcW(h, m, w, l); };
  wc.lpszClassName = u"VorixUcText";
  win::RegisterClassW(&wc);
  win::HWND hwnd = win::CreateWindowExW(0, u"VorixUcText", u"", win::WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr);
  ASSERT_NE(hwnd, nullptr);
  auto text = [&] {
    WideChar buffer[32] = {};
    win::GetWindowTextW(hwnd, buffer, 32);
    return WideString(buffer);
  };
  EXPECT_TRUE(WSetWindowText(hwnd, u"\u0416\u4e2d"));
  EXPECT_EQ(text(), u"\u0416\u4e2d");
  {
    AnsiCodePage cp(1251);
    ForcePlatformFlag ansi(false);
    EXPECT_TRUE(WSetWindowText(hwnd, u"\u0416\u4e2d"));
  }
  // The 8-bit path keeps what the code page holds; the rest becomes '?'.
  EXPECT_EQ(text(), u"\u0416?");
  win::DestroyWindow(hwnd);
}

TEST(UcWindows, CharUpperInBothBranches) {
  struct Case {
    WideChar unit, wide, ansi1252;
  };
  const Case cases[] = {
      {u'a', u'A', u'A'},
      {0x00E9, 0x00C9, 0x00C9},  // é
      {0x00FF, 0x0178, 0x0178},  // ÿ to Ÿ, which 1252 has at 0x9F
      {0x0436, 0x0416, 0x0436},  // ж: no 1252 equivalent, left alone
      {0x00DF, 0x00DF, 0x00DF},  // ß has no single upper-case unit
      {u'1', u'1', u'1'},
      {0xD800, 0xD800, 0xD800},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Upper(c.unit), c.wide) << std::hex << int(c.unit);
    AnsiCodePage cp(1252);
    ForcePlatformFlag ansi(false);
    EXPECT_EQ(Upper(c.unit), c.ansi1252) << std::hex << int(c.unit);
  }
  {
    // With UTF-8 as the code page, ɐ's upper case (U+2C6F) takes three bytes
    // instead of two, so the 8-bit upper-casing leaves it as it is.
    ForcePlatformFlag ansi(false);
    EXPECT_EQ(Upper(0x0250), 0x0250);
    EXPECT_EQ(Upper(0x0436), 0x0416);
  }
  for (bool unicode : {true, false}) {
    AnsiCodePage cp(1251);
    ForcePlatformFlag flag(unicode);
    WideChar text[] = u"ab\u0436\u00e9";
    EXPECT_EQ(WCharUpper(text), text);
    // é is not in 1251, so the 8-bit branch leaves it.
    EXPECT_EQ(WideString(text), unicode ? u"AB\u0416\u00c9" : u"AB\u0416\u00e9");
    WideChar buff[] = u"xyz";
    EXPECT_EQ(WCharUpperBuff(buff, 2), 2u);
    EXPECT_EQ(WideString(buff), u"XYz");
  }
}

TEST(UcWindows, WideUpperCaseAgreesWithPython) {
  std::ostringstream in;
  std::vector<WideChar> units;
  for (int c = 0x20; c < 0x530; ++c) units.push_back(static_cast<WideChar>(c));
  for (WideChar u : units) in << int(u) << '\n';
  // Python's upper() uses full case mapping; only single-character results
  // are single-unit mappings, the others stay as they are.
  const std::string out = rtltest::RunPythonOnInput(R"(
import sys
for l in open(sys.argv[1]):
    c = chr(int(l))
    u = c.upper()
    print(ord(u) if len(u) == 1 else ord(c))
)",
                                                    in.str());
  std::istringstream lines(out);
  int mismatches = 0;
  for (WideChar u : units) {
    int expected = -1;
    ASSERT_TRUE(lines >> expected);
    if (Upper(u) != expected && ++mismatches <= 5) ADD_FAILURE() << std::hex << int(u) << " gave " << int(Upper(u));
  }
}

TEST(UcWindows, StringTypesWriteOneEntryPerUnitInBothBranches) {
  for (bool unicode : {true, false}) {
    AnsiCodePage cp(936);
    ForcePlatformFlag flag(unicode);
    // 中 is two bytes in 936; the caller's array has room for three units.
    uint16_t types[5] = {0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE, 0xEEEE};
    ASSERT_TRUE(WGetStringTypeEx(win::GetThreadLocale(), win::CT_CTYPE1, u"\u4e2da ", 3, types));
    EXPECT_TRUE(types[0] & win::C1_ALPHA) << unicode;
    EXPECT_TRUE(types[1] & win::C1_LOWER) << unicode;
    EXPECT_TRUE(types[2] & win::C1_SPACE) << unicode;
    EXPECT_EQ(types[3], 0xEEEE) << unicode;
    // -1: the units and the terminator.
    std::fill(std::begin(types), std::end(types), 0xEEEE);
    ASSERT_TRUE(WGetStringTypeEx(win::GetThreadLocale(), win::CT_CTYPE1, u"\u4e2d!", -1, types));
    EXPECT_TRUE(types[1] & win::C1_PUNCT) << unicode;
    EXPECT_FALSE(types[2] & (win::C1_ALPHA | win::C1_PUNCT)) << unicode;
    EXPECT_EQ(types[3], 0xEEEE) << unicode;
  }
}

TEST(UcWindows, EmulatedStringLoading) {
  std::vector<std::u16string> table2(16);
  table2[1] = u"Seventeen \u263a";
  table2[2] = u"";
  const std::string block2 = StringTable(table2);
  const std::string block1 = StringTable({u"zero", u"one"});
  const std::string damaged = block2.substr(0, 10);  // entry 1 claims more than is there
  const rtl::ResourceEntry entries[] = {
      {"#1", "#6", reinterpret_cast<const unsigned char*>(block1.data()), block1.size()},
      {"#2", "#6", reinterpret_cast<const unsigned char*>(block2.data()), block2.size()},
      {"#3", "#6", reinterpret_cast<const unsigned char*>(damaged.data()), damaged.size()},
  };
  const rtl::ResourceTable resources{entries, 3};
  win::HMODULE module = win::RegisterModule("strings.dll", {}, &resources);

  for (bool unicode : {true, false}) {
    ForcePlatformFlag flag(unicode);
    WideChar buffer[64];
    // 17: table 17 div 16 + 1 = 2, entry 17 mod 16 = 1.
    EXPECT_EQ(WLoadString(module, 17, buffer, 64), 11);
    EXPECT_EQ(WideString(buffer), u"Seventeen \u263a");
    EXPECT_EQ(WLoadString(module, 1, buffer, 64), 3);
    EXPECT_EQ(WideString(buffer), u"one");
    // A null buffer or no room asks for the length only.
    EXPECT_EQ(LoadStringWEmulated(module, 17, nullptr, 0), 11);
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringWEmulated(module, 17, buffer, 0), 11);
    EXPECT_EQ(buffer[0], u'#');
    // A short buffer: size - 1 units and a terminator.
    EXPECT_EQ(LoadStringWEmulated(module, 17, buffer, 5), 4);
    EXPECT_EQ(WideString(buffer), u"Seve");
    // Identifiers with $FFFF in the high word are negated first.
    EXPECT_EQ(LoadStringWEmulated(module, static_cast<uint32_t>(-17), buffer, 64), 11);
    // Missing table: 0 and the buffer untouched; an empty entry: 0.
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(LoadStringWEmulated(module, 16 * 9, buffer, 64), 0);
    EXPECT_EQ(buffer[0], u'#');
    EXPECT_EQ(LoadStringWEmulated(module, 18, buffer, 64), 0);
    EXPECT_EQ(WideString(buffer), u"");
    // A table cut short never makes the walk read past its end.
    EXPECT_LE(LoadStringWEmulated(module, 33, buffer, 64), 3);
    EXPECT_EQ(LoadStringWEmulated(module, 34, buffer, 64), 0);
  }
  win::UnregisterModule(module);
}

namespace {

struct ShellCalls {
  win::BROWSEINFOW* wide = nullptr;
  std::string ansiTitle;
  bool ansiDisplayBuffer = false;
  int ansiCalls = 0;
};
ShellCalls g_shell;

win::ITEMIDLIST* FakeBrowseW(win::BROWSEINFOW* info) {
  g_shell.wide = info;
  return reinterpret_cast<win::ITEMIDLIST*>(uintptr_t{0x1234});
}

win::ITEMIDLIST* FakeBrowseA(win::BROWSEINFOA* info) {
  ++g_shell.ansiCalls;
  g_shell.ansiTitle = info->lpszTitle ? info->lpszTitle : "(null)";
  g_shell.ansiDisplayBuffer = info->pszDisplayName != nullptr;
  if (info->pszDisplayName) std::strcpy(info->pszDisplayName, "Ordner \xe4");
  info->iImage = 42;
  return reinterpret_cast<win::ITEMIDLIST*>(uintptr_t{0x5678});
}

void Unused() {}

win::FARPROC Proc(auto* p) { return reinterpret_cast<win::FARPROC>(p); }

}  // namespace

TEST(UcWindows, FolderBrowserThroughTheShellModule) {
  ReleaseShellWideEntries();
  // No shell module: the wide branch reports the system's error.
  try {
    win::BROWSEINFOW info;
    WSHBrowseForFolder(&info);
    FAIL() << "no exception";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), win::ERROR_MOD_NOT_FOUND);
  }
  // A shell module lacking one of the four wide entry points.
  win::HMODULE partial = win::RegisterModule(
      "shell32.dll", {{"SHFileOperationW", Proc(&Unused)}, {"SHBrowseForFolderW", Proc(&FakeBrowseW)}});
  try {
    LoadShellWideEntries();
    FAIL() << "no exception";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), win::ERROR_PROC_NOT_FOUND);
  }
  ReleaseShellWideEntries();
  win::UnregisterModule(partial);

  win::HMODULE shell = win::RegisterModule("C:\\Windows\\System32\\SHELL32.DLL",
                                           {{"SHFileOperationW", Proc(&Unused)},
                                            {"SHBrowseForFolderW", Proc(&FakeBrowseW)},
                                            {"SHGetPathFromIDListW", Proc(&Unused)},
                                            {"SHGetFileInfoW", Proc(&Unused)},
                                            {"SHBrowseForFolderA", Proc(&FakeBrowseA)}});
  WideChar display[win::MAX_PATH] = u"";
  win::BROWSEINFOW info;
  info.lpszTitle = u"W\u00e4hlen \u0416";
  info.pszDisplayName = display;
  EXPECT_EQ(WSHBrowseForFolder(&info), reinterpret_cast<win::ITEMIDLIST*>(uintptr_t{0x1234}));
  EXPECT_EQ(g_shell.wide, &info);
  EXPECT_EQ(g_shell.ansiCalls, 0);
  {
    AnsiCodePage cp(1252);
    ForcePlatformFlag ansi(false);
    EXPECT_EQ(WSHBrowseForFolder(&info), reinterpret_cast<win::ITEMIDLIST*>(uintptr_t{0x5678}));
    EXPECT_EQ(g_shell.ansiTitle, "W\xe4hlen ?");
    EXPECT_TRUE(g_shell.ansiDisplayBuffer);
    EXPECT_EQ(WideString(display), u"Ordner \u00e4");
    EXPECT_EQ(info.iImage, 42);
    // Without a display-name buffer the 8-bit record gets none either.
    info.pszDisplayName = nullptr;
    info.iImage = 0;
    WSHBrowseForFolder(&info);
    EXPECT_FALSE(g_shell.ansiDisplayBuffer);
    EXPECT_EQ(info.iImage, 42);
  }
  ReleaseShellWideEntries();
  win::UnregisterModule(shell);
}
