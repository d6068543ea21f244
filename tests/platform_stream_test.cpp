#include <random>

#include "platform/files.h"
#include "platform/stream.h"
#include "tests/support/sandbox.h"

namespace {

using platform::Stream;

class StreamTest : public vektest::SandboxTest {};

// Every line that ReadText gives with the width, until it gives none.
std::vector<std::string> Lines(Stream& s, std::size_t width) {
  std::vector<std::string> out;
  std::string line;
  while (s.ReadText(line, width)) out.push_back(line);
  EXPECT_EQ(line, "");
  return out;
}

TEST_F(StreamTest, TextModeReadsCrLfAsLfAndStopsAtCtrlZ) {
  box.Write("t.dat", "ab\r\ncd\re\n\r\nf\r\x1Agh\r\n");
  Stream s = Stream::Open("T.DAT", "rt");
  ASSERT_TRUE(s);
  EXPECT_TRUE(s.text_mode());
  EXPECT_EQ(Lines(s, 100), (std::vector<std::string>{"ab\n", "cd\re\n", "\n", "f\r"}));
  EXPECT_EQ(s.Tell(), 13);  // at the Ctrl-Z
  EXPECT_EQ(s.GetChar(), -1);
  // A seek past the Ctrl-Z reads on.
  ASSERT_TRUE(s.Seek(14));
  EXPECT_EQ(Lines(s, 100), (std::vector<std::string>{"gh\n"}));

  // No mode letter is text mode; binary mode gives the bytes.
  Stream plain = Stream::Open("t.dat", "r");
  EXPECT_EQ(Lines(plain, 100), (std::vector<std::string>{"ab\n", "cd\re\n", "\n", "f\r"}));
  Stream bin = Stream::Open("t.dat", "rb");
  EXPECT_FALSE(bin.text_mode());
  EXPECT_EQ(Lines(bin, 100), (std::vector<std::string>{"ab\r\n", "cd\re\n", "\r\n", "f\r\x1Agh\r\n"}));

  // CR LF split across the read buffer, a lone CR there, and CR at the end.
  const std::string x(65535, 'x');
  box.Write("edge1.dat", x + "\r\ny");
  box.Write("edge2.dat", x + "\rz");
  box.Write("edge3.dat", "a\r");
  Stream e1 = Stream::Open("edge1.dat", "rt");
  EXPECT_EQ(Lines(e1, 70000), (std::vector<std::string>{x + "\n", "y"}));
  Stream e2 = Stream::Open("edge2.dat", "rt");
  EXPECT_EQ(Lines(e2, 70000), (std::vector<std::string>{x + "\rz"}));
  Stream e3 = Stream::Open("edge3.dat", "rt");
  EXPECT_EQ(Lines(e3, 10), (std::vector<std::string>{"a\r"}));
  // Tell counts the bytes in the file.
  Stream e1b = Stream::Open("edge1.dat", "rt");
  std::string line;
  ASSERT_TRUE(e1b.ReadText(line, 70000));
  EXPECT_EQ(e1b.Tell(), 65537);
}

TEST_F(StreamTest, ReadTextIsFgetsWithWidthPlusOne) {
  box.Write("w.dat", "abcdefgh\nij");
  Stream s = Stream::Open("w.dat", "rb");
  std::string out = "junk";
  EXPECT_TRUE(s.ReadText(out, 0));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(s.ReadText(out, 3));
  EXPECT_EQ(out, "abc");
  EXPECT_TRUE(s.ReadText(out, 5));
  EXPECT_EQ(out, "defgh");
  EXPECT_TRUE(s.ReadText(out, 5));
  EXPECT_EQ(out, "\n");
  EXPECT_TRUE(s.ReadText(out, 5));
  EXPECT_EQ(out, "ij");
  out = "junk";
  EXPECT_FALSE(s.ReadText(out, 5));
  EXPECT_EQ(out, "");

  char raw[8];
  ASSERT_TRUE(s.Seek(7));
  EXPECT_EQ(s.ReadRaw(raw, 8), 4u);
  EXPECT_EQ(std::string(raw, 4), "h\nij");
}

TEST_F(StreamTest, TextModeWritesLfAsCrLf) {
  Stream t = Stream::Open("OUT.txt", "wt");
  ASSERT_TRUE(t);
  EXPECT_TRUE(t.Write("a\nb\n"));
  EXPECT_TRUE(t.Printf("%-5s|%05ld\n", "x", 42L));
  EXPECT_EQ(t.Tell(), 19);
  EXPECT_TRUE(t.Close());
  EXPECT_EQ(box.Read("OUT.txt"), "a\r\nb\r\nx    |00042\r\n");

  Stream b = Stream::Open("out.bin", "wb");
  EXPECT_TRUE(b.Write("a\nb\r\n"));
  EXPECT_TRUE(b.Printf("%s", std::string(3000, 'q').c_str()));  // longer than the format buffer
  EXPECT_TRUE(b.Close());
  EXPECT_EQ(box.Read("out.bin"), "a\nb\r\n" + std::string(3000, 'q'));

  // "w" empties an existing file, found in any letter case.
  Stream w = Stream::Open("out.TXT", "w");
  EXPECT_TRUE(w.Write("z\n"));
  EXPECT_TRUE(w.Close());
  EXPECT_EQ(box.List(), (std::vector<std::string>{"OUT.txt", "out.bin"}));
  EXPECT_EQ(box.Read("OUT.txt"), "z\r\n");
}

TEST_F(StreamTest, SeekingInsideTheBufferAndAfterOtherWriters) {
  std::string content;
  for (int i = 0; i < 100; ++i) {
    char rec[16];
    std::snprintf(rec, sizeof rec, "R%03d-----\n", i);
    content += rec;
  }
  box.Write("r.dat", content);
  Stream s = Stream::Open("r.dat", "rb");
  std::string f;
  for (int i : {50, 2, 99, 0, 73}) {
    ASSERT_TRUE(s.Seek(i * 10));
    ASSERT_TRUE(s.ReadText(f, 4));
    EXPECT_EQ(f, "R0" + std::to_string(i / 10) + std::to_string(i % 10));
    EXPECT_EQ(s.Tell(), i * 10 + 4);
  }
  EXPECT_TRUE(s.Seek(1000));
  EXPECT_FALSE(s.ReadText(f, 4));
  EXPECT_FALSE(s.Seek(-1));
  EXPECT_TRUE(s.SeekEnd());
  EXPECT_EQ(s.Tell(), 1000);
  EXPECT_EQ(s.Size(), 1000);

  // Another stream rewrites record 2 while ours holds it in its buffer.
  Stream w = Stream::Open("R.DAT", "r+b");
  ASSERT_TRUE(w.Seek(20));
  ASSERT_TRUE(w.Write("NEW"));
  ASSERT_TRUE(w.Close());
  ASSERT_TRUE(s.Seek(20));
  ASSERT_TRUE(s.ReadText(f, 4));
  EXPECT_EQ(f, "NEW2");
}

TEST_F(StreamTest, UpdateStreamsMixReadsAndWrites) {
  box.Write("u.dat", "0123456789");
  Stream s = Stream::Open("u.dat", "r+b");
  std::string f;
  ASSERT_TRUE(s.ReadText(f, 3));
  EXPECT_EQ(f, "012");
  EXPECT_TRUE(s.Write("AB"));
  EXPECT_EQ(s.Tell(), 5);
  ASSERT_TRUE(s.ReadText(f, 2));
  EXPECT_EQ(f, "56");
  ASSERT_TRUE(s.Seek(0));
  ASSERT_TRUE(s.ReadText(f, 20));
  EXPECT_EQ(f, "012AB56789");
  EXPECT_TRUE(s.SeekEnd());
  EXPECT_TRUE(s.Write("Z"));
  EXPECT_EQ(s.Tell(), 11);
  EXPECT_EQ(s.Size(), 11);
  EXPECT_TRUE(s.Close());
  EXPECT_EQ(box.Read("u.dat"), "012AB56789Z");

  // The same in text mode, patching a field in the middle of a line.
  box.Write("t.dat", "name   |1\r\nother  |2\r\n");
  Stream t = Stream::Open("t.dat", "r+t");
  ASSERT_TRUE(t.Seek(11));
  ASSERT_TRUE(t.ReadText(f, 7));
  EXPECT_EQ(f, "other  ");
  EXPECT_TRUE(t.Printf("%s", "#"));
  ASSERT_TRUE(t.ReadText(f, 10));
  EXPECT_EQ(f, "2\n");
  EXPECT_TRUE(t.Close());
  EXPECT_EQ(box.Read("t.dat"), "name   |1\r\nother  #2\r\n");
}

TEST_F(StreamTest, TruncateAppendAndRefusedOpens) {
  box.Write("t.dat", "0123456789");
  Stream s = Stream::Open("t.dat", "r+b");
  ASSERT_TRUE(s.Seek(4));
  EXPECT_TRUE(s.Write("x"));
  EXPECT_TRUE(s.Truncate(6));
  EXPECT_EQ(s.Tell(), 5);
  EXPECT_EQ(s.Size(), 6);
  std::string f;
  ASSERT_TRUE(s.ReadText(f, 10));
  EXPECT_EQ(f, "5");
  EXPECT_TRUE(s.Truncate(8));  // extends with zero bytes
  EXPECT_TRUE(s.Close());
  EXPECT_EQ(box.Read("t.dat"), std::string("0123x5\0\0", 8));

  box.Write("a.dat", "abc");
  Stream a = Stream::Open("A.DAT", "ab");
  ASSERT_TRUE(a);
  EXPECT_EQ(a.Tell(), 3);
  EXPECT_TRUE(a.Write("de"));
  EXPECT_EQ(a.Size(), 5);
  ASSERT_TRUE(a.Seek(0));
  EXPECT_TRUE(a.Write("f"));  // every write goes to the end
  EXPECT_EQ(a.Tell(), 6);
  EXPECT_TRUE(a.Close());
  EXPECT_EQ(box.Read("a.dat"), "abcdef");
  Stream at = Stream::Open("New.DAT", "at");
  EXPECT_TRUE(at.Write("n\n"));
  EXPECT_TRUE(at.Close());
  EXPECT_EQ(box.Read("New.DAT"), "n\r\n");

  box.Write("ro.dat", "r");
  ASSERT_TRUE(platform::SetReadOnly("ro.dat", true));
  EXPECT_FALSE(Stream::Open("ro.dat", "r+b"));
  EXPECT_FALSE(Stream::Open("ro.dat", "ab"));
  EXPECT_FALSE(Stream::Open("ro.dat", "wt"));
  EXPECT_TRUE(Stream::Open("ro.dat", "rb"));
  EXPECT_EQ(box.Read("ro.dat"), "r");
  box.MakeFolder("Sub");
  EXPECT_FALSE(Stream::Open("sub", "rb"));
  EXPECT_FALSE(Stream::Open("missing.dat", "rb"));
  EXPECT_FALSE(Stream::Open("missing.dat", "r+b"));
  EXPECT_FALSE(Stream::Open("Nofolder\\x.dat", "wb"));
  EXPECT_FALSE(Stream::Open("x.dat", "q"));
  EXPECT_FALSE(box.Exists("missing.dat"));

  // A write that cannot be stored is reported by Close.
  if (box.Exists("/dev/full")) {
    Stream full = Stream::Open("/dev/full", "wb");
    ASSERT_TRUE(full);
    EXPECT_TRUE(full.Write("x"));
    EXPECT_FALSE(full.Close());
  }

  // Moving a stream hands over the file; the moved-from one is closed.
  Stream m1 = Stream::Open("moved.dat", "wb");
  m1.Write("m");
  Stream m2 = std::move(m1);
  EXPECT_FALSE(m1);
  EXPECT_TRUE(m2.Close());
  EXPECT_EQ(box.Read("moved.dat"), "m");
}

// Random reads, writes, seeks and truncations on an update stream against a
// plain string holding what the file must contain.
TEST_F(StreamTest, RandomUpdatesMatchAModel) {
  std::mt19937 rng(12345);
  std::string model;
  for (int i = 0; i < 150000; ++i) model.push_back(static_cast<char>('a' + rng() % 26));
  box.Write("m.dat", model);
  Stream s = Stream::Open("m.dat", "r+b");
  std::int64_t pos = 0;
  for (int op = 0; op < 3000; ++op) {
    int kind = static_cast<int>(rng() % 10);
    if (kind < 3) {
      pos = static_cast<std::int64_t>(rng() % (model.size() + 1));
      ASSERT_TRUE(s.Seek(pos));
    } else if (kind < 6) {
      std::size_t n = rng() % 3 == 0 ? rng() % 100000 : rng() % 300;
      std::string data(n, static_cast<char>('A' + op % 26));
      ASSERT_TRUE(s.Write(data));
      if (model.size() < pos + n) model.resize(pos + n);
      model.replace(static_cast<std::size_t>(pos), n, data);
      pos += static_cast<std::int64_t>(n);
    } else if (kind < 9) {
      std::size_t n = rng() % 3 == 0 ? rng() % 100000 : rng() % 300;
      std::string got(n, '\0');
      got.resize(s.ReadRaw(got.data(), n));
      std::string want = static_cast<std::size_t>(pos) < model.size() ? model.substr(pos, n) : "";
      ASSERT_EQ(got, want) << "op " << op;
      pos += static_cast<std::int64_t>(got.size());
    } else {
      std::size_t len = rng() % (model.size() + 1000);
      ASSERT_TRUE(s.Truncate(static_cast<std::int64_t>(len)));
      model.resize(len, '\0');
    }
    ASSERT_EQ(s.Tell(), pos) << "op " << op;
    ASSERT_EQ(s.Size(), static_cast<std::int64_t>(model.size())) << "op " << op;
  }
  ASSERT_TRUE(s.Close());
  EXPECT_TRUE(box.Read("m.dat") == model);
}

// A new file written by a second thread ends as a plain stream would write it,
// with the position and the size right at every step.
TEST_F(StreamTest, WriteBehindWritesWhatAPlainStreamWould) {
  std::mt19937 rng(777);
  std::string model;
  Stream s = Stream::Open("behind.dat", "wb");
  s.WriteBehind();
  std::int64_t pos = 0;
  for (int op = 0; op < 1500; ++op) {
    if (rng() % 50 == 0) {
      pos = static_cast<std::int64_t>(rng() % (model.size() + 1));
      ASSERT_TRUE(s.Seek(pos));
    }
    std::size_t n = rng() % 20 == 0 ? rng() % 400000 : rng() % 1200;
    std::string data(n, static_cast<char>('a' + op % 26));
    ASSERT_TRUE(s.Write(data));
    if (model.size() < pos + n) model.resize(pos + n);
    model.replace(static_cast<std::size_t>(pos), n, data);
    pos += static_cast<std::int64_t>(n);
    ASSERT_EQ(s.Tell(), pos) << "op " << op;
    if (op % 100 == 0) {
      ASSERT_EQ(s.Size(), static_cast<std::int64_t>(model.size())) << "op " << op;
    }
  }
  ASSERT_TRUE(s.Close());
  EXPECT_TRUE(box.Read("behind.dat") == model);

  // Text mode: line feeds become CR LF before the buffers are handed over.
  Stream t = Stream::Open("lines.txt", "wt");
  t.WriteBehind();
  std::string want;
  for (int i = 0; i < 200000; ++i) {
    ASSERT_TRUE(t.Write("line\n"));
    want += "line\r\n";
  }
  ASSERT_TRUE(t.Close());
  EXPECT_TRUE(box.Read("lines.txt") == want);
}

// Appending through a second thread: after what the file held, in the
// order written, the position and the size right at every step, in both
// modes.
TEST_F(StreamTest, WriteBehindAppendsAfterWhatTheFileHeld) {
  std::mt19937 rng(778);
  for (const char* mode : {"ab", "at"}) {
    box.Write("app.dat", "held\r\n");
    std::string want = "held\r\n";
    Stream s = Stream::Open("app.dat", mode);
    s.WriteBehind();
    for (int op = 0; op < 300; ++op) {
      const std::size_t n = rng() % 10 == 0 ? rng() % 1500000 : rng() % 700;
      std::string data(n, static_cast<char>('a' + op % 26));
      if (n > 1) data[n / 2] = '\n';
      ASSERT_TRUE(s.Write(data));
      want += std::string(mode) == "at" && n > 1 ? data.replace(n / 2, 1, "\r\n") : data;
      ASSERT_EQ(s.Tell(), static_cast<std::int64_t>(want.size())) << mode << " op " << op;
      if (op % 50 == 0) {
        ASSERT_EQ(s.Size(), static_cast<std::int64_t>(want.size())) << mode << " op " << op;
      }
    }
    ASSERT_TRUE(s.Close());
    EXPECT_TRUE(box.Read("app.dat") == want) << mode;
  }
}

#ifndef _WIN32
// A write that fails in the second thread shows at the next Flush and Close.
TEST_F(StreamTest, WriteBehindReportsAFailedWrite) {
  for (const char* mode : {"wb", "ab"}) {
    Stream s = Stream::Open("/dev/full", mode);
    ASSERT_TRUE(s) << mode;
    s.WriteBehind();
    const std::string block(1 << 16, 'x');
    for (int i = 0; i < 40; ++i) s.Write(block);
    EXPECT_FALSE(s.Flush()) << mode;
    EXPECT_FALSE(s.Close()) << mode;
  }
}
#endif

// Text-mode reading of random bytes in random widths gives the translated file.
TEST_F(StreamTest, RandomTextReadsMatchTheTranslation) {
  std::mt19937 rng(777);
  const char alphabet[] = {'a', 'b', '\r', '\n', '\r', '\n'};
  std::string raw;
  for (int i = 0; i < 200000; ++i) raw.push_back(alphabet[rng() % 6]);
  raw += "\r\n\x1A" "after";
  box.Write("r.txt", raw);
  std::string want;
  for (std::size_t i = 0; raw[i] != '\x1A'; ++i) {
    if (raw[i] == '\r' && raw[i + 1] == '\n') continue;
    want.push_back(raw[i]);
  }
  Stream s = Stream::Open("r.txt", "rt");
  std::string got, line;
  while (s.ReadText(line, 1 + rng() % 5000)) {
    ASSERT_TRUE(line.find('\n') == std::string::npos || line.find('\n') == line.size() - 1);
    got += line;
  }
  EXPECT_TRUE(got == want);
}

}  // namespace
