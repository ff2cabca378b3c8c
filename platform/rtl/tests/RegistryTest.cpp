#include "platform/rtl/Registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"
#include "platform/rtl/Text.h"

namespace {

using rtl::String;
using rtl::TRegistry;
namespace fs = std::filesystem;

class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vorix-reg-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, (dir_ / "user").string());
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, (dir_ / "machine").string());
  }
  void TearDown() override {
    rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, "");
    rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, "");
    fs::remove_all(dir_);
  }
  static std::string FileText(rtl::HKEY root) {
    std::ifstream f(rtl::RegistryFileName(root), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  fs::path dir_;
};

std::vector<String> Items(const rtl::TStrings& l) {
  std::vector<String> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.Strings(i));
  return v;
}

String ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const rtl::ERegistryException& e) {
    return e.Message();
  }
  return "no error";
}

TEST_F(RegistryTest, ValuesKeepTheirKindsAndWrongKindsAreRefused) {
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\TVidCap\\Global", true));
  const uint8_t blob[] = {0, 1, 2, 0xFF, '\n', '%'};
  reg.WriteString("_LastRecordingFileName", "/home/u/clip 1.avi");
  reg.WriteExpandString("Path", "$HOME/x");
  reg.WriteInteger("Width", -640);
  reg.WriteBool("Enabled", true);
  reg.WriteFloat("Rate", 29.97);
  reg.WriteBinaryData("WDMState", blob, sizeof blob);
  reg.WriteRawValue("Untyped", rtl::REG_NONE, blob, 3);
  reg.WriteRawValue("Zeroed", rtl::REG_SZ, "ab\0cd", 5);

  EXPECT_EQ(reg.ReadString("_lastrecordingfilename"), "/home/u/clip 1.avi");
  EXPECT_EQ(reg.ReadString("Path"), "$HOME/x");
  EXPECT_EQ(reg.ReadString("Zeroed"), "ab");  // cut at the first zero
  EXPECT_EQ(reg.ReadInteger("Width"), -640);
  EXPECT_TRUE(reg.ReadBool("Enabled"));
  EXPECT_DOUBLE_EQ(reg.ReadFloat("Rate"), 29.97);
  uint8_t buf[16] = {};
  EXPECT_EQ(reg.ReadBinaryData("WDMState", buf, sizeof buf), 6);
  EXPECT_EQ(std::memcmp(buf, blob, sizeof blob), 0);
  EXPECT_EQ(reg.ReadBinaryData("Untyped", buf, 3), 3);  // untyped binary is accepted

  struct Info {
    const char* name;
    rtl::TRegDataType type;
    int32_t size;
  };
  const Info infos[] = {
      {"Path", rtl::rdExpandString, 8}, {"Width", rtl::rdInteger, 4}, {"Rate", rtl::rdBinary, 8},
      {"Untyped", rtl::rdUnknown, 3},   {"Zeroed", rtl::rdString, 6}, {"Missing", rtl::rdUnknown, -1},
  };
  for (const Info& i : infos) {
    EXPECT_EQ(reg.GetDataType(i.name), i.type) << i.name;
    EXPECT_EQ(reg.GetDataSize(i.name), i.size) << i.name;
  }

  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Path"); }), "Invalid data type for 'Path'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadString("Width"); }), "Invalid data type for 'Width'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadFloat("WDMState"); }), "Invalid data type for 'WDMState'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadBinaryData("Path", buf, sizeof buf); }), "Invalid data type for 'Path'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadBinaryData("WDMState", buf, 5); }), "Invalid data type for 'WDMState'");
  EXPECT_EQ(ErrorOf([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_EQ(reg.ReadBinaryData("Missing", buf, sizeof buf), 0);

  uint32_t kind = 0;
  std::vector<uint8_t> raw;
  ASSERT_TRUE(reg.ReadRawValue("Width", kind, raw));
  EXPECT_EQ(kind, rtl::REG_DWORD);
  EXPECT_EQ(raw, (std::vector<uint8_t>{0x80, 0xFD, 0xFF, 0xFF}));

  reg.WriteString("Width", "now text");  // a write may change the kind
  EXPECT_EQ(reg.GetDataType("Width"), rtl::rdString);
  EXPECT_TRUE(reg.DeleteValue("WIDTH"));
  EXPECT_FALSE(reg.DeleteValue("Width"));
  rtl::TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(Items(names),
            (std::vector<String>{"_LastRecordingFileName", "Path", "Enabled", "Rate", "WDMState", "Untyped", "Zeroed"}));
}

TEST_F(RegistryTest, KeysArePathsIgnoringCase) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("Software\\TVidCap", false));
  ASSERT_TRUE(reg.OpenKey("\\Software\\TVidCap\\", true));
  EXPECT_EQ(reg.CurrentPath(), "Software\\TVidCap");
  ASSERT_TRUE(reg.OpenKey("Devices\\Cam 1", true));  // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), "Software\\TVidCap\\Devices\\Cam 1");
  reg.WriteInteger("Size", 3);
  EXPECT_TRUE(reg.CreateKey("\\software\\tvidcap\\devices\\b-cam"));
  EXPECT_TRUE(reg.CreateKey("\\Software\\TVidCap\\Devices\\A-Cam\\Sub"));
  EXPECT_TRUE(reg.CreateKey("\\Software\\TVidCap\\Global"));

  EXPECT_FALSE(reg.OpenKey("\\No\\Such", false));
  EXPECT_EQ(reg.CurrentPath(), "Software\\TVidCap\\Devices\\Cam 1");  // still open
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\tvidcap\\DEVICES", false));
  EXPECT_EQ(reg.CurrentPath(), "Software\\TVidCap\\Devices");  // the stored spelling
  EXPECT_TRUE(reg.HasSubKeys());
  rtl::TStringList keys;
  reg.GetKeyNames(keys);
  EXPECT_EQ(Items(keys), (std::vector<String>{"A-Cam", "b-cam", "Cam 1"}));
  EXPECT_TRUE(reg.KeyExists("cam 1"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\TVidCap\\Global"));
  EXPECT_FALSE(reg.KeyExists("Global"));

  TRegistry other;
  EXPECT_TRUE(other.OpenKey("\\Software\\TVidCap\\Devices\\Cam 1", false));
  EXPECT_EQ(other.ReadInteger("size"), 3);
  // Deleting takes everything below; the other object's open key is gone.
  EXPECT_TRUE(reg.DeleteKey("\\Software\\TVidCap"));
  EXPECT_FALSE(reg.DeleteKey("\\Software\\TVidCap"));
  EXPECT_FALSE(reg.KeyExists("\\Software\\TVidCap\\Devices\\A-Cam\\Sub"));
  EXPECT_TRUE(reg.KeyExists("\\Software"));
  EXPECT_FALSE(other.ValueExists("Size"));
  EXPECT_EQ(ErrorOf([&] { other.WriteInteger("Size", 4); }), "Failed to set data for 'Size'");

  reg.CloseKey();
  EXPECT_EQ(reg.CurrentKey(), 0u);
  EXPECT_EQ(ErrorOf([&] { reg.WriteString("Loose", "x"); }), "Failed to set data for 'Loose'");
}

TEST_F(RegistryTest, ReadOnlyAccessAndSeparateRoots) {
  {
    TRegistry machine;
    machine.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(machine.OpenKey("\\Software\\Microsoft\\Windows Messaging Subsystem", true));
    machine.WriteString("MAPI", "1");
  }
  TRegistry reg;
  EXPECT_FALSE(reg.KeyExists("\\Software\\Microsoft\\Windows Messaging Subsystem"));
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Microsoft\\Windows Messaging Subsystem"));
  EXPECT_EQ(reg.Access(), rtl::KEY_READ);
  EXPECT_EQ(reg.ReadString("MAPI"), "1");
  EXPECT_EQ(ErrorOf([&] { reg.WriteString("MAPI", "0"); }), "Failed to set data for 'MAPI'");
  EXPECT_FALSE(reg.DeleteValue("MAPI"));
  EXPECT_FALSE(reg.OpenKey("\\New", true));  // no right to create any more
  EXPECT_NE(rtl::RegistryFileName(rtl::HKEY_LOCAL_MACHINE), rtl::RegistryFileName(rtl::HKEY_CURRENT_USER));

  struct stat st {};
  ASSERT_EQ(::stat(rtl::RegistryFileName(rtl::HKEY_LOCAL_MACHINE).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A root whose file cannot be written refuses every change.
  std::ofstream(dir_ / "plain-file") << "x";
  rtl::SetRegistryFolder(rtl::HKEY_LOCAL_MACHINE, (dir_ / "plain-file" / "sub").string());
  TRegistry blocked;
  blocked.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(blocked.OpenKey("\\Software\\Microsoft\\TV System Services\\TVAutoTune", true));
  EXPECT_EQ(ErrorOf([&] { blocked.CreateKey("\\Software\\X"); }), "Failed to create key \\Software\\X");
  EXPECT_TRUE(blocked.OpenKey("", false));  // the root itself is always there
  EXPECT_EQ(ErrorOf([&] { blocked.WriteInteger("Freq", 1); }), "Failed to set data for 'Freq'");
}

TEST_F(RegistryTest, AwkwardNamesAndDataSurviveTheFile) {
  const String keyName = "we[ir]d %key ";
  const std::pair<String, String> values[] = {
      {"a=b", "x=y"},
      {"", "the default value"},
      {";semi", "line 1\r\nline 2"},
      {"[bracket", "%41 stays"},
      {" lead", "caf\xc3\xa9 \xe6\x8d\x95"},
      {"tab\there", String("nul\0in", 6)},
  };
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\" + keyName, true));
    for (const auto& [n, v] : values) reg.WriteRawValue(n, rtl::REG_SZ, v.data(), static_cast<int32_t>(v.size()));
    reg.WriteInteger("Neg", -1);
  }
  // A copy of the file under another folder is read afresh.
  fs::create_directories(dir_ / "copy");
  fs::copy_file(rtl::RegistryFileName(rtl::HKEY_CURRENT_USER), dir_ / "copy" / "HKEY_CURRENT_USER.reg");
  rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, (dir_ / "copy").string());
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\software\\" + keyName, false));
  for (const auto& [n, v] : values) {
    uint32_t kind = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(reg.ReadRawValue(n, kind, data)) << n;
    EXPECT_EQ(String(data.begin(), data.end()), v) << n;
  }
  EXPECT_EQ(reg.ReadInteger("neg"), -1);
  rtl::TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Count(), 7);
}

TEST_F(RegistryTest, DamagedLinesCostOnlyThemselves) {
  fs::create_directories(dir_ / "user");
  std::ofstream(rtl::RegistryFileName(rtl::HKEY_CURRENT_USER))
      << "orphan=sz:no key\n"
         "[Software\\App]\n"
         "Good=dword:0000002a\n"
         "BadHex=hex:0g\n"
         "NoKind=plain\n"
         "BadEscape=sz:%zz\n"
         "Short=dword:2a\n"
         "Other=hex(11):0100000000000000\n"
         "[Software\\App\\Sub]\r\n"
         "Text=sz:ok\r\n";
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\App", false));
  rtl::TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(Items(names), (std::vector<String>{"Good", "Other"}));
  EXPECT_EQ(reg.ReadInteger("Good"), 42);
  EXPECT_EQ(reg.GetDataType("Other"), rtl::rdUnknown);
  ASSERT_TRUE(reg.OpenKey("Sub", false));
  EXPECT_EQ(reg.ReadString("Text"), "ok");
}

TEST_F(RegistryTest, StringsAreUtf8InTheFileWhateverTheCodePage) {
  {
    struct Cp1252 {
      Cp1252() { rtl::SetAnsiCodePage(1252); }
      ~Cp1252() { rtl::SetAnsiCodePage(rtl::CP_UTF8); }
    } cp;
    TRegistry reg;
    EXPECT_TRUE(reg.OpenKey("\\Caf\xe9", true));
    reg.WriteString("Na\xefve", "\xe9t\xe9");
  }
  std::string text = FileText(rtl::HKEY_CURRENT_USER);
  EXPECT_NE(text.find("[Caf\xc3\xa9]\nNa\xc3\xafve=sz:\xc3\xa9t\xc3\xa9\n"), std::string::npos) << text;
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\CAF\xc3\x89", false));
  EXPECT_EQ(reg.ReadString("na\xc3\xafve"), "\xc3\xa9t\xc3\xa9");
}

class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(RegistryTest, ShellFoldersComeFromTheXdgUserFolders) {
  ScopedEnv home("HOME", (dir_ / "home").string());
  ScopedEnv config("XDG_CONFIG_HOME", (dir_ / "config").string());
  fs::create_directories(dir_ / "config");
  std::ofstream(dir_ / "config" / "user-dirs.dirs") << "XDG_VIDEOS_DIR=\"$HOME/Filme\"\n"
                                                       "XDG_DOCUMENTS_DIR=\"/srv/docs\"\n";
  rtl::SetRegistryFolder(rtl::HKEY_CURRENT_USER, "");
  EXPECT_EQ(rtl::RegistryFileName(rtl::HKEY_CURRENT_USER), (dir_ / "config" / "vorix" / "HKEY_CURRENT_USER.reg").string());

  const String key = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  TRegistry reg;
  EXPECT_TRUE(reg.KeyExists("\\software\\microsoft"));
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadString("My Video"), (dir_ / "home" / "Filme").string());
  EXPECT_EQ(reg.ReadString("personal"), "/srv/docs");
  EXPECT_EQ(reg.GetDataType("Personal"), rtl::rdString);
  EXPECT_FALSE(reg.ValueExists("Favorites"));
  rtl::TStringList names;
  reg.GetValueNames(names);
  EXPECT_GE(names.IndexOf("My Video"), 0);
  EXPECT_FALSE(fs::exists(rtl::RegistryFileName(rtl::HKEY_CURRENT_USER)));  // reading wrote nothing

  TRegistry writer;
  ASSERT_TRUE(writer.OpenKey(key, true));
  writer.WriteString("Personal", "/home/me/Docs");
  EXPECT_EQ(reg.ReadString("Personal"), "/home/me/Docs");  // a stored value wins
  reg.SetRootKey(rtl::HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.KeyExists(key));
}

TEST_F(RegistryTest, ThreadsWritingAtOnceLoseNoValues) {
  constexpr int kThreads = 4;
  constexpr int kValues = 25;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      TRegistry reg;
      if (!reg.OpenKey("\\Software\\TVidCap\\Global", true)) return;
      for (int v = 0; v < kValues; ++v) reg.WriteInteger("T" + std::to_string(t) + "V" + std::to_string(v), v);
    });
  }
  for (auto& th : threads) th.join();
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\TVidCap\\Global"));
  rtl::TStringList names;
  reg.GetValueNames(names);
  EXPECT_EQ(names.Count(), kThreads * kValues);
  EXPECT_EQ(reg.ReadInteger("T3V24"), 24);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNoKeys) {
  constexpr int kProcesses = 3;
  constexpr int kKeys = 60;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int status = 0;
      try {
        for (int k = 0; k < kKeys; ++k) {
          TRegistry reg;
          String key = "\\Software\\TVidCap\\Devices\\P" + std::to_string(p) + "K" + std::to_string(k);
          if (!reg.OpenKey(key, true)) status = 2;
          reg.WriteInteger("Value", p * 1000 + k);
        }
      } catch (...) {
        status = 3;
      }
      ::_exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\TVidCap\\Devices", false));
  rtl::TStringList keys;
  reg.GetKeyNames(keys);
  EXPECT_EQ(keys.Count(), kProcesses * kKeys);
  for (int p = 0; p < kProcesses; ++p) {
    for (int k = 0; k < kKeys; ++k) {
      TRegistry r;
      ASSERT_TRUE(r.OpenKey("\\Software\\TVidCap\\Devices\\P" + std::to_string(p) + "K" + std::to_string(k), false));
      EXPECT_EQ(r.ReadInteger("Value"), p * 1000 + k);
    }
  }
}

}  // namespace
