// The buffered reader, the read-only memory stream, the line writers and
// the ASCII85 and RunLength encoders, with Python and Ghostscript decoding
// our encoder output as independent readers.
#include "imaging/core/ikutilsStreams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/tests/ToolCheck.h"

using namespace imaging;

namespace {

using Bytes = std::vector<uint8_t>;

std::string A85(const Bytes& in, int32_t* counter = nullptr) {
  std::string out(static_cast<size_t>(Ascii85MaxLength(static_cast<int64_t>(in.size()))), '\0');
  const uint8_t* cursor = in.data();
  char* o = out.data();
  int32_t groupChars = 0;
  const int32_t n = Ascii85Encode(cursor, static_cast<int32_t>(in.size()), o, groupChars);
  EXPECT_EQ(o - out.data(), n);
  EXPECT_EQ(cursor, in.data() + in.size());
  if (counter) *counter = groupChars;
  out.resize(static_cast<size_t>(n));
  return out;
}

Bytes RunLength(const Bytes& in) {
  Bytes out(static_cast<size_t>(RunLengthMaxLength(static_cast<int64_t>(in.size()))));
  out.resize(static_cast<size_t>(RunLengthEncode(in.data(), static_cast<int32_t>(in.size()), out.data())));
  return out;
}

// Inputs that reach every branch: zero groups, short tails, runs of every
// length around the 128 limit, literals next to runs, random bytes.
std::vector<Bytes> OracleInputs() {
  std::vector<Bytes> inputs;
  std::mt19937 rng(7);
  for (size_t n : {0u, 1u, 2u, 3u, 4u, 5u, 77u, 300u, 1001u}) {
    Bytes b(n);
    for (auto& v : b) v = static_cast<uint8_t>(rng());
    inputs.push_back(b);
  }
  inputs.push_back(Bytes(8, 0));
  inputs.push_back(Bytes(1, 0));
  Bytes runs;
  for (int len : {1, 2, 3, 127, 128, 129, 256, 257, 1}) runs.insert(runs.end(), static_cast<size_t>(len), len & 0xFF);
  for (int i = 0; i < 200; ++i) runs.push_back(static_cast<uint8_t>(i % 3 == 0 ? 9 : i));
  inputs.push_back(runs);
  return inputs;
}

class TempFiles {
public:
  TempFiles() {
    char pattern[] = "/tmp/vorix-ikstream-XXXXXX";
    dir_ = ::mkdtemp(pattern);
  }
  ~TempFiles() { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  void Write(const std::string& name, const void* data, size_t n) const {
    std::ofstream(Path(name), std::ios::binary).write(static_cast<const char*>(data), static_cast<std::streamsize>(n));
  }
  Bytes Read(const std::string& name) const {
    std::ifstream f(Path(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), {});
  }

private:
  std::string dir_;
};

}  // namespace

TEST(Ascii85, GroupsZeroShortcutLineBreaksAndEndMarker) {
  int32_t counter = 0;
  EXPECT_EQ(A85({0, 0, 0, 0}, &counter), "z~>\r\n");
  EXPECT_EQ(counter, 1);
  EXPECT_EQ(A85({0}, &counter), "!!~>\r\n");
  EXPECT_EQ(counter, 2);
  // A short group of zeros is not "z".
  EXPECT_EQ(A85({0, 0, 0}), "!!!!~>\r\n");
  EXPECT_EQ(A85({'M', 'a', 'n', ' '}), "9jqo^~>\r\n");

  Bytes eighty(80);
  for (size_t i = 0; i < eighty.size(); ++i) eighty[i] = static_cast<uint8_t>(i + 1);
  const std::string text = A85(eighty, &counter);
  EXPECT_EQ(counter, 100);
  ASSERT_EQ(text.size(), 75u + 2 + 25 + 4);
  EXPECT_EQ(text.substr(75, 2), "\r\n");
  EXPECT_EQ(text.find('\r', 77), 104u);  // only the end marker's line break follows
  EXPECT_EQ(text.substr(102), "~>\r\n");
}

TEST(RunLength, RunsLiteralsAndTheEndByte) {
  EXPECT_EQ(RunLength({7, 7, 7, 7, 7}), (Bytes{252, 7, 128}));
  EXPECT_EQ(RunLength({1, 2, 3}), (Bytes{2, 1, 2, 3, 128}));
  EXPECT_EQ(RunLength(Bytes(200, 4)), (Bytes{129, 4, 185, 4, 128}));
  EXPECT_EQ(RunLength({}), (Bytes{128}));
  EXPECT_EQ(RunLength({9}), (Bytes{0, 9, 128}));
  Bytes literal(130);
  for (size_t i = 0; i < literal.size(); ++i) literal[i] = static_cast<uint8_t>(i);
  const Bytes out = RunLength(literal);
  ASSERT_EQ(out.size(), 1u + 128 + 1 + 2 + 1);
  EXPECT_EQ(out[0], 127);
  EXPECT_EQ(out[129], 1);
}

TEST(EncoderOracles, PythonDecodesOurAscii85) {
  VORIX_NEED_TOOL(testtools::OnPath("/usr/bin/python3"), "python3");
  TempFiles files;
  int index = 0;
  for (const Bytes& in : OracleInputs()) {
    SCOPED_TRACE(index);
    const std::string name = "a" + std::to_string(index++);
    // Python wants the data to end at "~>"; the CR LF after it ends the
    // line of the PostScript program around it.
    std::string text = A85(in);
    ASSERT_EQ(text.substr(text.size() - 4), "~>\r\n");
    text.resize(text.size() - 2);
    files.Write(name + ".a85", text.data(), text.size());
    files.Write(name + ".raw", in.data(), in.size());
    const std::string cmd = "/usr/bin/python3 -c \"import base64,sys; "
                            "t=open(sys.argv[1],'rb').read(); r=open(sys.argv[2],'rb').read(); "
                            "sys.exit(0 if base64.a85decode(t, adobe=True, ignorechars=b' \\t\\n\\r\\v') == r else 1)\" '" +
                            files.Path(name + ".a85") + "' '" + files.Path(name + ".raw") + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << text;
  }
}

TEST(EncoderOracles, GhostscriptFiltersDecodeOurAscii85AndRunLength) {
  VORIX_NEED_TOOL(testtools::OnPath("gs"), "Ghostscript");
  TempFiles files;
  int index = 0;
  for (const Bytes& in : OracleInputs()) {
    SCOPED_TRACE(index);
    const std::string name = "g" + std::to_string(index++);
    const std::string text = A85(in);
    const Bytes rl = RunLength(in);
    files.Write(name + ".a85", text.data(), text.size());
    files.Write(name + ".rl", rl.data(), rl.size());
    for (const char* filter : {"ASCII85Decode", "RunLengthDecode"}) {
      const bool a85 = std::string(filter) == "ASCII85Decode";
      const std::string input = files.Path(name + (a85 ? ".a85" : ".rl"));
      const std::string output = files.Path(name + (a85 ? ".a85.out" : ".rl.out"));
      const std::string ps = "/in (" + input + ") (r) file /" + filter +
                             " filter def /out (" + output +
                             ") (w) file def /buf 4096 string def "
                             "{ in buf readstring exch out exch writestring not { exit } if } loop out closefile";
      const std::string cmd = "gs -q -dNODISPLAY -dNOSAFER -dBATCH -dNOPAUSE -c '" + ps + "' quit >/dev/null 2>&1";
      ASSERT_EQ(std::system(cmd.c_str()), 0) << filter;
      EXPECT_EQ(files.Read(std::filesystem::path(output).filename()), in) << filter;
    }
  }
}

TEST(BufferedReadStream, ReadsAndSeeksLikeTheSource) {
  Bytes data(1000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 1);
  TIKMemStream source(data.data(), static_cast<int64_t>(data.size()));
  source.Seek(100, rtl::soBeginning);
  TIKBufferedReadStream reader(&source, 16);
  EXPECT_EQ(reader.Position(), 100);  // it starts where the source stood

  struct Step {
    char op;  // 'r' read count, 'b' seek from start, 'c' from current, 'e' back from the end
    int64_t arg;
    int64_t position;  // after the step
  };
  const Step steps[] = {{'r', 5, 105},   {'r', 40, 145},  {'c', -45, 100}, {'r', 1, 101},  {'b', 990, 990},
                        {'r', 20, 1000}, {'r', 3, 1000},  {'e', 2, 998},   {'r', 10, 1000}, {'b', 0, 0},
                        {'r', 17, 17},   {'c', 0, 17},    {'r', 300, 317}, {'e', 0, 1000}, {'b', 5000, 5000},
                        {'r', 4, 5000},  {'b', -3, -3},   {'r', 4, -3},    {'b', 15, 15},  {'r', 2, 17}};
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(1, s.op) + std::to_string(s.arg));
    const int64_t before = reader.Position();
    if (s.op == 'r') {
      Bytes out(static_cast<size_t>(s.arg), 0);
      const int64_t got = reader.Read(out.data(), s.arg);
      ASSERT_EQ(got, s.position - before);
      if (got > 0) {
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + got, data.begin() + before));
      }
    } else {
      const auto origin = s.op == 'b' ? rtl::soBeginning : s.op == 'c' ? rtl::soCurrent : rtl::soEnd;
      EXPECT_EQ(reader.Seek(s.arg, origin), s.position);
    }
    EXPECT_EQ(reader.Position(), s.position);
  }
  EXPECT_THROW(reader.Write("x", 1), EIKError);
}

TEST(BufferedReadStream, ShortSourceHostileCountsAndAShrunkenSource) {
  const Bytes ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  {
    TIKMemStream source(ten.data(), 10);
    TIKBufferedReadStream reader(&source, 4);
    Bytes out(20);
    EXPECT_EQ(reader.Read(out.data(), 20), 10);
    EXPECT_TRUE(std::equal(ten.begin(), ten.end(), out.begin()));
    EXPECT_EQ(reader.Seek(2, rtl::soEnd), 8);
  }
  {
    // A count from a damaged header grows the buffer only to what the
    // source holds.
    TIKMemStream source(ten.data(), 10);
    TIKBufferedReadStream reader(&source, 4);
    Bytes out(10);
    EXPECT_EQ(reader.Read(out.data(), int64_t{1} << 40), 10);
    EXPECT_LE(reader.BufferSize(), 10);
  }
  {
    // The source lost bytes after the reader took its size: the reader
    // stops where the data ends instead of handing out stale buffer bytes.
    rtl::TMemoryStream source;
    source.Write(ten.data(), 10);
    source.Seek(0, rtl::soBeginning);
    TIKBufferedReadStream reader(&source, 4);
    source.SetSize(6);
    Bytes out(10, 0xEE);
    EXPECT_EQ(reader.Read(out.data(), 10), 6);
    EXPECT_EQ(out[6], 0xEE);
  }
}

TEST(MemStream, ReadsTheCallersBlockAndIgnoresWrites) {
  const char text[] = "0123456789";
  TIKMemStream s(text, 10);
  char out[8] = {};
  EXPECT_EQ(s.Seek(-3, rtl::soEnd), 7);
  EXPECT_EQ(s.Read(out, 8), 3);
  EXPECT_EQ(std::string(out, 3), "789");
  EXPECT_EQ(s.Write("ab", 2), 0);
  s.SetSize(2);
  EXPECT_EQ(s.Size(), 10);
  s.Seek(20, rtl::soBeginning);
  EXPECT_EQ(s.Read(out, 1), 0);
  s.Seek(-1, rtl::soBeginning);
  EXPECT_EQ(s.Read(out, 1), 0);
  EXPECT_EQ(s.Memory(), reinterpret_cast<const uint8_t*>(text));
}

TEST(TextWriters, Terminators) {
  rtl::TStringStream s;
  WriteLineCRLF(s, "%!PS");
  WriteLineLF(s, "a");
  WriteText(s, "b");
  WriteText(s, "");
  EXPECT_EQ(s.DataString(), "%!PS\r\na\nb");
}
