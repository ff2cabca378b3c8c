#include "platform/rtl/IniFile.h"

#include <gtest/gtest.h>

#include "PythonRunner.h"
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/StringList.h"

namespace {

using rtl::String;
using rtl::TIniFile;
using rtl::TMemIniFile;
using rtl::TStringList;
namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vorix-ini-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = (dir_ / "Capture.ini").string();
  }
  void TearDown() override {
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
    fs::remove_all(dir_);
  }

  void Put(const std::string& bytes) const {
    std::ofstream f(path_, std::ios::binary | std::ios::trunc);
    f << bytes;
  }
  std::string Bytes() const {
    std::ifstream f(path_, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // Runs a Python script with the file's path as its argument and returns
  // what it printed.
  std::string Python(const std::string& script) const {
    int status = 0;
    std::string out = rtltest::RunPython(script, {path_}, &status);
    EXPECT_EQ(status, 0) << out;
    return out;
  }
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Runs `step` in a child process and answers its result (-1 when the
  // child could not run it). Permissions do not bind root, and the tests
  // run as root in CI: there the child first becomes "nobody", who is given
  // the test's folder, so the checks of refused access run everywhere.
  template <class Step>
  int Unprivileged(Step step) const {
    uid_t uid = ::geteuid();
    gid_t gid = ::getegid();
    if (uid == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (!nobody) {
        ADD_FAILURE() << "no user 'nobody' to drop to";
        return -1;
      }
      uid = nobody->pw_uid;
      gid = nobody->pw_gid;
      if (::chown(dir_.c_str(), uid, gid) != 0) return -1;
      for (const auto& e : fs::directory_iterator(dir_))
        if (::chown(e.path().c_str(), uid, gid) != 0) return -1;
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
      if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)) _exit(100);
      _exit(step());
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
  }

  fs::path dir_;
  String path_;
};

std::vector<String> Items(const rtl::TStrings& l) {
  std::vector<String> v;
  for (int32_t i = 0; i < l.Count(); ++i) v.push_back(l.Strings(i));
  return v;
}

TEST_F(IniFileTest, ReadsAsTheProfileFunctionsDo) {
  Put("; settings\r\n"
      "orphan=before any section\r\n"
      "[General]\r\n"
      "  Name =  spaced out  \r\n"
      "Quoted=\"  keep blanks  \"\r\n"
      "Single='x'\r\n"
      "Half=\"open\r\n"
      "Empty=\r\n"
      "NAME=second wins never\r\n"
      "Hex=0x1F\r\n"
      "Dollar=$10\r\n"
      "Neg=-42\r\n"
      "Junk=12abc\r\n"
      "On=7\r\n"
      "Rate=29.97\r\n"
      "BadRate=fast\r\n"
      "bare line\r\n"
      "[general]\r\n"
      "Other=hidden by the first section\r\n");
  TIniFile ini(path_);
  struct Case {
    const char* key;
    const char* expected;
  };
  const Case strings[] = {
      {"name", "spaced out"}, {"quoted", "  keep blanks  "}, {"single", "x"}, {"half", "\"open"},
      {"empty", ""},          {"missing", "default"},       {"bare line", ""}, {"other", "default"},
  };
  for (const Case& c : strings) EXPECT_EQ(ini.ReadString("GENERAL", c.key, "default"), c.expected) << c.key;
  EXPECT_EQ(ini.ReadString("General", "orphan", "none"), "none");

  EXPECT_EQ(ini.ReadInteger("General", "Hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("General", "Dollar", 0), 16);
  EXPECT_EQ(ini.ReadInteger("General", "Neg", 0), -42);
  EXPECT_EQ(ini.ReadInteger("General", "Junk", 5), 5);
  EXPECT_EQ(ini.ReadInteger("General", "Empty", 5), 5);
  EXPECT_TRUE(ini.ReadBool("General", "On", false));
  EXPECT_FALSE(ini.ReadBool("General", "Junk", false));
  EXPECT_TRUE(ini.ReadBool("General", "Missing", true));
  EXPECT_DOUBLE_EQ(ini.ReadFloat("General", "Rate", 0), 29.97);
  EXPECT_DOUBLE_EQ(ini.ReadFloat("General", "BadRate", 1.5), 1.5);

  TStringList keys;
  keys.Add("stale");
  ini.ReadSection("general", keys);
  EXPECT_EQ(Items(keys), (std::vector<String>{"Name", "Quoted", "Single", "Half", "Empty", "Hex", "Dollar", "Neg",
                                              "Junk", "On", "Rate", "BadRate", "bare line"}));
  ini.ReadSections(keys);
  EXPECT_EQ(Items(keys), (std::vector<String>{"General"}));
  EXPECT_TRUE(ini.ValueExists("General", "EMPTY"));
  EXPECT_FALSE(ini.ValueExists("General", "Missing"));
}

TEST_F(IniFileTest, LongValuesAreCutAt2047Characters) {
  Put("[S]\nLong=" + std::string(3000, 'v') + "\n");
  EXPECT_EQ(TIniFile(path_).ReadString("S", "Long", "").size(), 2047u);
  EXPECT_EQ(TMemIniFile(path_).ReadString("S", "Long", "").size(), 3000u);
}

TEST_F(IniFileTest, WritesKeepCommentsLayoutAndLineBreaks) {
  Put("; Vorix settings\r\n"
      "\r\n"
      "[General]\r\n"
      "; the user's folder\r\n"
      "StoragePath=/srv/video/\r\n"
      "Port=21\r\n"
      "\r\n"
      "[Device]\r\n"
      "VideoIndex=0\r\n");
  TIniFile ini(path_);
  ini.WriteString("general", "storagepath", "/home/me/Videos/");
  ini.WriteInteger("General", "Timeout", 30);
  ini.WriteBool("Device", "Mirror", true);
  ini.WriteFloat("Overlay", "Alpha", 0.5);
  ini.DeleteKey("General", "Port");
  ini.DeleteKey("General", "NoSuchKey");
  EXPECT_EQ(Bytes(),
            "; Vorix settings\r\n"
            "\r\n"
            "[General]\r\n"
            "; the user's folder\r\n"
            "StoragePath=/home/me/Videos/\r\n"
            "Timeout=30\r\n"
            "\r\n"
            "[Device]\r\n"
            "VideoIndex=0\r\n"
            "Mirror=1\r\n"
            "\r\n"
            "[Overlay]\r\n"
            "Alpha=0.5\r\n");
  ini.EraseSection("DEVICE");
  EXPECT_FALSE(ini.SectionExists("Device"));
  EXPECT_EQ(ini.ReadInteger("Device", "VideoIndex", -1), -1);
  EXPECT_EQ(ini.ReadString("Overlay", "Alpha", ""), "0.5");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"Capture.ini"}));  // no temporary file left
}

TEST_F(IniFileTest, ValuesThatWouldNotReadBackAreMended) {
  TIniFile ini(path_);
  const std::pair<String, String> cases[] = {
      {" leading", " leading"},
      {"trailing ", "trailing "},
      {"\"quoted\"", "\"quoted\""},
      {"'single'", "'single'"},
      {"it's", "it's"},
      {"Dear all,\r\nsee the clip.\nBye\r", "Dear all, see the clip. Bye "},
      {"", ""},
  };
  int n = 0;
  for (const auto& [written, read] : cases) ini.WriteString("Mail", "K" + std::to_string(n++), written);
  ini.WriteString("Mail", "After", "still parsed");
  n = 0;
  for (const auto& [written, read] : cases) EXPECT_EQ(ini.ReadString("Mail", "K" + std::to_string(n++), "?"), read);
  EXPECT_EQ(ini.ReadString("Mail", "After", ""), "still parsed");
  EXPECT_EQ(Bytes().find("it's"), Bytes().find("K4=it's") + 3);  // written plainly when it reads back
}

TEST_F(IniFileTest, PythonReadsOurFileAndWeReadPythons) {
  {
    TIniFile ini(path_);
    ini.WriteString("General", "Language", "fran\xc3\xa7" "ais.ini");
    ini.WriteInteger("General", "Count", -7);
    ini.WriteBool("Shot", "AutoShot", false);
    ini.WriteFloat("Capture", "FrameRate", 29.97);
    ini.WriteString("Capture", "Path", "/a=b/c;d");
  }
  std::string out = Python(R"(
import configparser, json, sys
c = configparser.ConfigParser(interpolation=None)
c.optionxform = str
c.read(sys.argv[1], encoding='utf-8')
print(json.dumps({s: dict(c[s]) for s in c.sections()}, sort_keys=True, ensure_ascii=False))
)");
  EXPECT_EQ(out,
            "{\"Capture\": {\"FrameRate\": \"29.97\", \"Path\": \"/a=b/c;d\"}, "
            "\"General\": {\"Count\": \"-7\", \"Language\": \"fran\xc3\xa7" "ais.ini\"}, "
            "\"Shot\": {\"AutoShot\": \"0\"}}\n");

  Python(R"(
import configparser, sys
c = configparser.ConfigParser(interpolation=None)
c.optionxform = str
c['FTP'] = {'Host': 'ftp.example.org', 'Port': '2121', 'Password': 'p@ss w=rd'}
c['Lang'] = {'Title': 'Vid\u00e9o \u6355\u6349'}
with open(sys.argv[1], 'w', encoding='utf-8') as f:
    c.write(f)
)");
  TIniFile ini(path_);
  EXPECT_EQ(ini.ReadString("ftp", "host", ""), "ftp.example.org");
  EXPECT_EQ(ini.ReadInteger("FTP", "Port", 0), 2121);
  EXPECT_EQ(ini.ReadString("FTP", "Password", ""), "p@ss w=rd");
  EXPECT_EQ(ini.ReadString("Lang", "Title", ""), "Vid\xc3\xa9o \xe6\x8d\x95\xe6\x8d\x89");
}

TEST_F(IniFileTest, LegacyBytesAreReadAsWindows1252) {
  Put("[Lang]\nTitle=Vid\xe9o\n");
  EXPECT_EQ(TIniFile(path_).ReadString("Lang", "Title", ""), "Vid\xc3\xa9o");
}

TEST_F(IniFileTest, ModeIsAppliedAndKept) {
  {
    TIniFile secret(path_, 0600);
    secret.WriteString("FTP", "FTPPassword", "hunter2");
  }
  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ::chmod(path_.c_str(), 0640);
  TIniFile plain(path_);
  plain.WriteString("FTP", "Host", "h");
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);  // a rewrite keeps what the file had

  TMemIniFile mem(path_, 0600);
  mem.WriteString("FTP", "Host", "h2");
  mem.UpdateFile();
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(plain.ReadString("FTP", "FTPPassword", ""), "hunter2");
}

TEST_F(IniFileTest, ReadsSeeOtherWritersAndLinksAreFollowed) {
  TIniFile a(path_), b(path_);
  EXPECT_EQ(a.ReadInteger("S", "N", -1), -1);
  b.WriteInteger("S", "N", 1);
  EXPECT_EQ(a.ReadInteger("S", "N", -1), 1);
  a.WriteInteger("S", "M", 2);
  EXPECT_EQ(b.ReadInteger("S", "N", -1), 1);
  EXPECT_EQ(b.ReadInteger("S", "M", -1), 2);
  Put("[S]\nN=3\n");  // an edit in place by someone else
  EXPECT_EQ(a.ReadInteger("S", "N", -1), 3);
  EXPECT_EQ(a.ReadInteger("S", "M", -1), -1);

  String link = (dir_ / "link.ini").string();
  ASSERT_EQ(::symlink(path_.c_str(), link.c_str()), 0);
  TIniFile viaLink(link);
  viaLink.WriteInteger("S", "L", 4);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(a.ReadInteger("S", "L", -1), 4);
}

TEST_F(IniFileTest, OneObjectServesSeveralThreads) {
  TIniFile ini(path_);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&ini, t] {
      for (int k = 0; k < 10; ++k) {
        ini.WriteInteger("T" + std::to_string(t), "K" + std::to_string(k), k);
        ini.ReadInteger("T0", "K0", 0);
      }
    });
  }
  for (auto& th : threads) th.join();
  TStringList sections, keys;
  ini.ReadSections(sections);
  EXPECT_EQ(sections.Count(), 4);
  ini.ReadSection("T3", keys);
  EXPECT_EQ(keys.Count(), 10);
}

TEST_F(IniFileTest, FailedWritesRaiseAndLeaveTheFileAlone) {
  TIniFile nowhere((dir_ / "no" / "such.ini").string());
  try {
    nowhere.WriteString("S", "K", "v");
    FAIL() << "no exception";
  } catch (const rtl::EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + (dir_ / "no" / "such.ini").string());
  }
  // A file that cannot be read is not replaced by one holding only the new key.
  String folderPath = (dir_ / "folder.ini").string();
  fs::create_directories(folderPath);
  EXPECT_THROW(TIniFile(folderPath).WriteString("S", "K", "v"), rtl::EIniFileException);
  EXPECT_TRUE(fs::is_directory(folderPath));
  Put("[S]\nKeep=1\n");
  // Each step answers 0 when it went as it should.
  const int unreadable = Unprivileged([&] {
    ::chmod(path_.c_str(), 0);
    int wrong = 0;
    try {
      TIniFile(path_).WriteString("S", "K", "v");
      wrong = 1;  // no exception
    } catch (const rtl::EIniFileException&) {
    }
    ::chmod(path_.c_str(), 0600);
    return wrong;
  });
  EXPECT_EQ(unreadable, 0) << "an unreadable file did not refuse the write";
  EXPECT_EQ(Bytes(), "[S]\nKeep=1\n");
  const int readOnlyFolder = Unprivileged([&] {
    ::chmod(dir_.c_str(), 0500);  // the folder refuses the temporary file
    int wrong = 0;
    try {
      TIniFile(path_).WriteString("S", "K", "v");
      wrong = 1;
    } catch (const rtl::EIniFileException&) {
    }
    ::chmod(dir_.c_str(), 0700);
    return wrong;
  });
  EXPECT_EQ(readOnlyFolder, 0) << "a read-only folder did not refuse the write";
  EXPECT_EQ(Bytes(), "[S]\nKeep=1\n");
}

TEST_F(IniFileTest, SectionValuesAndExistence) {
  Put("[Empty]\n; nothing here\n[Mail]\nto=a@b.c\nCC=\nsubject= Hi \n");
  TIniFile ini(path_);
  TStringList values;
  ini.ReadSectionValues("MAIL", values);
  EXPECT_EQ(Items(values), (std::vector<String>{"to=a@b.c", "CC=", "subject=Hi"}));
  EXPECT_FALSE(ini.SectionExists("Empty"));  // a section without keys does not count
  EXPECT_TRUE(ini.SectionExists("mail"));
  EXPECT_TRUE(TMemIniFile(path_).SectionExists("Empty"));
}

TEST_F(IniFileTest, MemIniFileWorksInMemoryUntilUpdateFile) {
  Put("[GLOBALINFO]\nMASTERBITMAP=master.bmp\n[FORM]\nBORDER=1,2\n[BUTTON]\nCOLOR=$FF00\n");
  TMemIniFile mem(path_);
  TStringList sections;
  mem.ReadSections(sections);
  EXPECT_EQ(Items(sections), (std::vector<String>{"GLOBALINFO", "FORM", "BUTTON"}));
  EXPECT_EQ(mem.ReadInteger("button", "color", 0), 0xFF00);
  mem.WriteString("FORM", "BORDER", "3,4");
  Put("[FORM]\nBORDER=changed on disk\n");
  EXPECT_EQ(mem.ReadString("FORM", "BORDER", ""), "3,4");  // read once, at construction
  mem.UpdateFile();
  EXPECT_EQ(TIniFile(path_).ReadString("Form", "Border", ""), "3,4");

  TStringList text;
  text.SetText("[EDIT]\nFONT = Tahoma \n;x\n[DIALOG]\n");
  mem.SetStrings(text);
  EXPECT_EQ(mem.ReadString("Edit", "Font", ""), "Tahoma");
  EXPECT_TRUE(mem.SectionExists("DIALOG"));
  EXPECT_FALSE(mem.SectionExists("FORM"));
  TStringList back;
  mem.GetStrings(back);
  EXPECT_EQ(back.Text(), text.Text());

  mem.Rename((dir_ / "other.ini").string(), true);  // missing: empty
  EXPECT_FALSE(mem.SectionExists("EDIT"));
  mem.WriteString("A", "B", "C");
  mem.UpdateFile();
  EXPECT_EQ(TIniFile((dir_ / "other.ini").string()).ReadString("a", "b", ""), "C");
}

}  // namespace
