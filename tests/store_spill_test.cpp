#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/scratch.h"
#include "store/changes.h"
#include "store/spill.h"
#include "tests/support/sandbox.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

class BucketsTest : public vektest::SandboxTest {};

// Records around the one-byte length limit and past a block, put into three
// buckets in turn, come back bucket by bucket as they were put.
TEST_F(BucketsTest, RecordsComeBackInOrderAcrossBlocks) {
  const std::vector<std::size_t> sizes = {0, 1, 254, 255, 256, 1000, 70000, 3};
  auto b = std::make_unique<store::Buckets>(3, 512);
  std::vector<std::vector<std::string>> put(3);
  int n = 0;
  for (int round = 0; round < 4; ++round) {
    for (std::size_t size : sizes) {
      const std::size_t bucket = static_cast<std::size_t>(n) % 3;
      std::string r(size, static_cast<char>('a' + n % 26));
      if (!r.empty()) r[0] = static_cast<char>(n);
      b->Put(bucket, r);
      put[bucket].push_back(r);
      ++n;
    }
  }
  EXPECT_GT(b->spilled(), 0);
#ifndef _WIN32
  // The scratch file has no name: the temporary folder shows nothing.
  EXPECT_TRUE(std::filesystem::is_empty(box.temp));
#endif
  for (std::size_t bucket = 0; bucket < 3; ++bucket) {
    std::vector<std::string> got;
    std::string_view r;
    for (auto reader = b->Read(bucket); reader.Next(r);) got.emplace_back(r);
    EXPECT_EQ(got, put[bucket]) << bucket;
  }
  // Gone with the buckets (on Windows it had a name while open).
  b.reset();
  EXPECT_TRUE(std::filesystem::is_empty(box.temp));
}

// Small work never touches the disk, so it needs no temporary folder.
TEST_F(BucketsTest, WorkBelowABlockStaysInMemory) {
  std::filesystem::remove_all(box.temp);
  store::Buckets b(2, 1 << 16);
  b.Put(1, "one");
  b.Put(1, "two");
  EXPECT_EQ(b.spilled(), 0);
  std::string_view r;
  auto reader = b.Read(1);
  ASSERT_TRUE(reader.Next(r));
  EXPECT_EQ(r, "one");
  ASSERT_TRUE(reader.Next(r));
  EXPECT_EQ(r, "two");
  EXPECT_FALSE(reader.Next(r));
  EXPECT_FALSE(b.Read(0).Next(r));
}

TEST_F(BucketsTest, AMissingTemporaryFolderFailsTheFirstBlock) {
  std::filesystem::remove_all(box.temp);
  store::Buckets b(1, 16);
  try {
    b.Put(0, std::string(20, 'x'));
    FAIL() << "no error";
  } catch (const store::FileError& e) {
    EXPECT_EQ(e.action(), store::FileError::Action::kWrite);
    EXPECT_EQ(e.error().kind, platform::ErrorKind::kMissing);
  }
}

// Every record of a bucket, as read back.
std::vector<std::string> ReadAll(store::Buckets& b, std::size_t bucket) {
  std::vector<std::string> got;
  std::string_view r;
  for (auto reader = b.Read(bucket); reader.Next(r);) got.emplace_back(r);
  return got;
}

// Buckets cleared for new work write it over the old on the same scratch
// file, and read back only the new.
TEST_F(BucketsTest, ClearedBucketsWriteOverTheOldWork) {
  store::Buckets b(1, 512);
  for (int i = 0; i < 2000; ++i) b.Put(0, std::string(1000, static_cast<char>('a' + i % 26)));
  EXPECT_EQ(ReadAll(b, 0).size(), 2000u);
  const std::int64_t first = b.spilled();

  ASSERT_TRUE(b.Clear());
  EXPECT_EQ(b.count(), 0u);
  const std::size_t bucket = b.Add();
  std::vector<std::string> put;
  for (int i = 0; i < 300; ++i) {
    put.push_back(std::to_string(i) + std::string(700, 'n'));
    b.Put(bucket, put.back());
  }
  EXPECT_GT(b.spilled(), 0);
  EXPECT_LT(b.spilled(), first / 4);
  EXPECT_EQ(ReadAll(b, bucket), put);
}

// Padded text comes back byte for byte: padding inside and at the end of
// each field, fields shorter or longer than the width, line ends, a text at
// the length limit and past it, with the head put before it.
TEST_F(BucketsTest, PaddedTextComesBackAsPut) {
  const std::vector<std::string> texts = {
      "060010            **          ",  // a unit: key and marks, both padded
      "060010            **         \n",
      "ABC  DEF          X",
      "                  ",
      "",
      "short  ",
      "   lead",
      std::string(17, 'k') + " " + std::string(12, ' '),
      std::string(18, 'k') + std::string(12, 'm'),
      std::string(254, ' '),
      std::string(100, 'x') + std::string(154, ' '),
      std::string(255, ' '),
      std::string(300, 'y') + "   ",
      std::string("\0\x01\xFF  \x1A", 7),
  };
  store::Buckets b(2, 256);
  std::size_t n = 0;
  for (int round = 0; round < 20; ++round) {
    for (const std::string& t : texts) {
      const char head[2] = {static_cast<char>(n), static_cast<char>(n >> 8)};
      b.PutPadded(n % 2, std::string_view(head, 2), t, 18);
      ++n;
    }
  }
  EXPECT_GT(b.spilled(), 0);
  // The first unit takes 12 bytes, not 31.
  store::Buckets small(1, 1 << 16);
  small.PutPadded(0, {}, texts[0], 18);
  EXPECT_EQ(ReadAll(small, 0), std::vector<std::string>{std::string("\x1E\x06" "060010" "**", 10)});

  for (std::size_t bucket = 0; bucket < 2; ++bucket) {
    std::size_t k = bucket;
    std::string_view head;
    std::string text;
    for (auto reader = b.Read(bucket); reader.NextPadded(2, 18, head, text); k += 2) {
      ASSERT_EQ(head, std::string({static_cast<char>(k), static_cast<char>(k >> 8)}));
      ASSERT_EQ(text, texts[k % texts.size()]) << k;
    }
    EXPECT_EQ(k, n + bucket);
  }
}

#ifndef _WIN32
// A scratch write fails on the second thread (the file size limit here):
// the work stops with a write error, never with records read back wrong.
TEST_F(BucketsTest, AWriteThatFailsBehindIsAWriteError) {
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool failed = false;
  try {
    store::Buckets b(1, 4096);
    for (int i = 0; i < 1000; ++i) b.Put(0, std::string(1000, 'x'));
    static_cast<void>(ReadAll(b, 0));
  } catch (const store::FileError& e) {
    failed = true;
    EXPECT_EQ(e.action(), store::FileError::Action::kWrite);
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_TRUE(failed);
}
#endif

// Results of parts come back in record order, each for its record only.
TEST_F(BucketsTest, PartResultsAreTakenInRecordOrder) {
  store::PartResults results(2, 8);
  results.Put(0, 0, "zero");
  results.Put(0, 5, "five");
  results.Put(1, 2, "two");
  results.Put(1, 3, "");
  std::string out;
  EXPECT_TRUE(results.Take(0, 0, out));
  EXPECT_EQ(out, "zero");
  EXPECT_FALSE(results.Take(1, 1, out));
  EXPECT_TRUE(results.Take(1, 2, out));
  EXPECT_EQ(out, "two");
  EXPECT_TRUE(results.Take(1, 3, out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(results.Take(0, 4, out));
  EXPECT_TRUE(results.Take(0, 5, out));
  EXPECT_EQ(out, "five");
  EXPECT_FALSE(results.Take(0, 6, out));
}

TEST(PartOfKeyTest, KeysEqualWithoutRegardToCaseShareAPart) {
  for (std::size_t parts : {1u, 7u, 256u}) {
    EXPECT_EQ(store::PartOfKey("Alves \xC9rica", 17, parts), store::PartOfKey("ALVES \xE9RICA      ", 17, parts));
    // Only the first `width` characters count, padded with spaces.
    EXPECT_EQ(store::PartOfKey("ABC", 5, parts), store::PartOfKey("abc  xyz", 5, parts));
    EXPECT_LT(store::PartOfKey("anything", 17, parts), parts);
  }
  // Keys that differ in a digit or two, as member codes do, spread evenly:
  // a part twice the others' would need twice the memory.
  for (std::size_t parts : {2u, 24u, 256u}) {
    std::vector<int> count(parts);
    const int keys = 100000;
    for (int k = 0; k < keys; ++k) {
      char key[8];
      std::snprintf(key, sizeof key, "%06d", k);
      ++count[store::PartOfKey(key, 17, parts)];
    }
    const double mean = static_cast<double>(keys) / static_cast<double>(parts);
    for (std::size_t p = 0; p < parts; ++p) {
      EXPECT_GT(count[p], mean * 0.8) << parts << " " << p;
      EXPECT_LT(count[p], mean * 1.2) << parts << " " << p;
    }
  }
  EXPECT_EQ(store::PartsFor(0, 100), 1u);
  EXPECT_EQ(store::PartsFor(100, 100), 1u);
  EXPECT_EQ(store::PartsFor(101, 100), 2u);
  EXPECT_EQ(store::PartsFor(1u << 30, 1), 256u);
}

}  // namespace
