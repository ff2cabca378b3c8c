#include "platform/rtl/Streams.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/Exceptions.h"

using namespace rtl;

namespace {

class TempFolder : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/vorix-streams-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  String Path(const String& name) const { return dir_ + "/" + name; }
  static String ReadAll(const String& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static void WriteAll(const String& path, const String& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  String dir_;
};

using FileStreamTest = TempFolder;

}  // namespace

TEST(MemoryStreamTest, SeekOriginsAndReadsAtThePosition) {
  TMemoryStream m;
  m.WriteBuffer("0123456789", 10);
  struct Case {
    int64_t offset;
    TSeekOrigin origin;
    int64_t expected;
  };
  m.SetPosition(4);
  for (const Case& c : {Case{2, soBeginning, 2}, Case{3, soCurrent, 5}, Case{-2, soEnd, 8},
                        Case{-1, soFromCurrent, 7}, Case{0, soFromEnd, 10}, Case{1, soFromBeginning, 1}}) {
    EXPECT_EQ(m.Seek(c.offset, c.origin), c.expected);
  }
  char buf[4] = {};
  EXPECT_EQ(m.Read(buf, 3), 3);
  EXPECT_EQ(String(buf, 3), "123");
  m.Seek(-1, soEnd);
  EXPECT_EQ(m.Read(buf, 4), 1) << "a read stops at the end";
  EXPECT_EQ(m.Read(buf, 4), 0);
}

TEST(MemoryStreamTest, WritingPastTheEndFillsTheGapWithZeros) {
  TMemoryStream m;
  m.WriteBuffer("ab", 2);
  m.SetPosition(5);
  m.WriteBuffer("z", 1);
  ASSERT_EQ(m.Size(), 6);
  EXPECT_EQ(String(reinterpret_cast<const char*>(m.Memory()), 6), String("ab\0\0\0z", 6));
  m.SetPosition(-3);
  EXPECT_EQ(m.Write("x", 1), 0) << "nothing is written before the start";
}

TEST(MemoryStreamTest, SetSizeKeepsThePositionUnlessItFallsOffTheEnd) {
  TMemoryStream m;
  m.WriteBuffer("0123456789", 10);
  m.SetPosition(3);
  m.SetSize(6);
  EXPECT_EQ(m.Position(), 3);
  m.SetPosition(6);
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
}

TEST(MemoryStreamTest, ShortTransfersRaise) {
  TMemoryStream m;
  m.WriteBuffer("abc", 3);
  m.SetPosition(1);
  char buf[8];
  EXPECT_THROW(m.ReadBuffer(buf, 3), EReadError);
  EXPECT_NO_THROW(m.ReadBuffer(buf, 0));

  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  close(pipeFds[0]);
  THandleStream broken(pipeFds[1]);
  // A write into a pipe nobody reads fails; keep SIGPIPE from ending the test.
  signal(SIGPIPE, SIG_IGN);
  try {
    broken.WriteBuffer("x", 1);
    ADD_FAILURE() << "no EWriteError";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  close(pipeFds[1]);
}

TEST(MemoryStreamTest, CopyFromCopiesFromThePositionOrTheWholeSourceForZero) {
  TStringStream source("hello world");
  source.SetPosition(6);
  TMemoryStream part;
  EXPECT_EQ(part.CopyFrom(source, 3), 3);
  EXPECT_EQ(String(reinterpret_cast<const char*>(part.Memory()), 3), "wor");

  TStringStream whole;
  whole.WriteString(">");
  EXPECT_EQ(whole.CopyFrom(source, 0), 11);
  EXPECT_EQ(whole.DataString(), ">hello world");

  source.SetPosition(8);
  EXPECT_THROW(part.CopyFrom(source, 5), EReadError);
}

TEST(MemoryStreamTest, CopyFromCrossesItsChunkSize) {
  TMemoryStream source;
  String bytes(200'001, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  source.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  TStringStream copy;
  EXPECT_EQ(copy.CopyFrom(source, 0), 200'001);
  EXPECT_EQ(copy.DataString(), bytes);
}

TEST(StringStreamTest, DataStringReadStringAndWriteString) {
  TStringStream s("abcdef");
  EXPECT_EQ(s.Position(), 0);
  EXPECT_EQ(s.ReadString(2), "ab");
  s.WriteString("XY");
  EXPECT_EQ(s.DataString(), "abXYef");
  EXPECT_EQ(s.ReadString(100), "ef");
  EXPECT_EQ(s.ReadString(1), "");
  s.WriteString(String("\0!", 2));
  EXPECT_EQ(s.DataString(), String("abXYef\0!", 8));
}

TEST_F(FileStreamTest, CreateWriteReopenAndReadBack) {
  const String name = Path("data.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("0123456789", 10);
    EXPECT_EQ(f.Size(), 10);
    f.SetPosition(2);
    char buf[3];
    f.ReadBuffer(buf, 3);
    EXPECT_EQ(String(buf, 3), "234") << "fmCreate opens for reading too";
  }
  {
    TFileStream f(name, fmOpenReadWrite | fmShareExclusive);
    f.Seek(-2, soEnd);
    f.WriteBuffer("AB", 2);
  }
  EXPECT_EQ(ReadAll(name), "01234567AB");
  {
    TFileStream f(name, fmCreate | fmShareDenyWrite);
    EXPECT_EQ(f.Size(), 0) << "fmCreate empties an existing file";
  }
  {
    TFileStream f(name, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(f.FileName(), name);
    EXPECT_EQ(f.Write("x", 1), 0) << "a read-only stream writes nothing";
    EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
  }
}

TEST_F(FileStreamTest, OpenAndCreateFailuresNameTheFileAndTheReason) {
  WriteAll(Path("ro.txt"), "keep");
  chmod(Path("ro.txt").c_str(), 0444);
  struct Case {
    String name;
    uint16_t mode;
    bool create;
    String reason;
  };
  const Case cases[] = {
      {Path("missing.txt"), fmOpenRead, false, "No such file or directory"},
      {Path("no/such/folder/x.txt"), fmCreate, true, "No such file or directory"},
      {Path("ro.txt"), fmOpenWrite, false, "Permission denied"},
      {Path("ro.txt"), fmOpenReadWrite | fmShareDenyNone, false, "Permission denied"},
      {Path("ro.txt"), fmCreate, true, "Permission denied"},
      {dir_, fmOpenRead, false, "Is a directory"},
      {dir_, fmCreate, true, "Is a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      TFileStream f(c.name, c.mode);
      ADD_FAILURE() << "opened";
    } catch (const EFCreateError& e) {
      EXPECT_TRUE(c.create);
      EXPECT_EQ(e.Message(), "Cannot create file \"" + c.name + "\". " + c.reason);
    } catch (const EFOpenError& e) {
      EXPECT_FALSE(c.create);
      EXPECT_EQ(e.Message(), "Cannot open file \"" + c.name + "\". " + c.reason);
    }
  }
  EXPECT_EQ(ReadAll(Path("ro.txt")), "keep") << "a refused fmCreate leaves the file alone";
  TFileStream reader(Path("ro.txt"), fmOpenRead);
  EXPECT_EQ(reader.Size(), 4);
}

TEST_F(FileStreamTest, SizesAndPositionsBeyondFourGigabytes) {
  const int64_t big = (int64_t{5} << 30) + 3;
  TFileStream f(Path("big.bin"), fmCreate);
  f.WriteBuffer("abc", 3);
  f.SetPosition(1);
  f.SetSize(big);  // sparse, so no disk space is used
  EXPECT_EQ(f.Position(), big) << "the position follows the new end";
  EXPECT_EQ(f.Size(), big);
  f.Seek(-2, soEnd);
  f.WriteBuffer("yz", 2);
  f.SetPosition(big - 3);
  char tail[3];
  f.ReadBuffer(tail, 3);
  EXPECT_EQ(String(tail, 3), String("\0yz", 3));
  f.SetSize(2);
  EXPECT_EQ(std::filesystem::file_size(Path("big.bin")), 2u);
  EXPECT_THROW(f.SetSize(-1), EInOutError);
}

TEST_F(FileStreamTest, MemoryStreamLoadsAndSavesFilesAndStreams) {
  String bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i);
  WriteAll(Path("in.bin"), bytes);
  TMemoryStream m;
  m.LoadFromFile(Path("in.bin"));
  ASSERT_EQ(m.Size(), 300);
  EXPECT_EQ(String(reinterpret_cast<const char*>(m.Memory()), 300), bytes);
  m.SaveToFile(Path("out.bin"));
  EXPECT_EQ(ReadAll(Path("out.bin")), bytes);

  TStringStream target("<<");
  target.Seek(0, soEnd);
  m.SaveToStream(target);
  EXPECT_EQ(target.DataString(), "<<" + bytes) << "saved at the target's position";

  TStringStream source("new contents");
  source.SetPosition(4);
  m.LoadFromStream(source);
  EXPECT_EQ(m.Size(), 12) << "loading reads the whole source from its start";
  EXPECT_THROW(m.LoadFromFile(Path("missing.bin")), EFOpenError);
  EXPECT_THROW(m.SaveToFile(Path("none/out.bin")), EFCreateError);
}

TEST(HandleStreamTest, ReadGathersWhatAPipeDeliversInPieces) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "abc", 3), 3);
  ASSERT_EQ(write(fds[1], "def", 3), 3);
  close(fds[1]);
  THandleStream in(fds[0]);
  char buf[10];
  EXPECT_EQ(in.Read(buf, 10), 6);
  EXPECT_EQ(String(buf, 6), "abcdef");
  EXPECT_EQ(in.Seek(0, soBeginning), -1) << "a pipe cannot seek";
  close(fds[0]);
}
