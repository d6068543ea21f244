// Payment methods out of F14R0.DAT, F08R1.DAT, the one-time moves of F13R1 and
// F25R0, and the country codes of F10R4 and F02R1.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "steps/steps.h"
#include "tests/support/sandbox.h"

namespace {

using vektest::Fields;
using vektest::Fill;
using vektest::Pad;

class Step543Test : public vektest::SandboxTest {};

std::string Pattern(std::size_t length, int seed, bool deleted = false) {
  static const std::string kChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s;
  for (std::size_t i = 0; i < length; ++i) s += kChars[(i * 11 + static_cast<std::size_t>(seed) * 17) % kChars.size()];
  s.back() = deleted ? '+' : ' ';
  return s;
}

void Put(std::string& rec, std::size_t offset, std::string_view value) { rec.replace(offset, value.size(), value); }

// An F14R0.DAT record (311 bytes) with its number at the start.
std::string F14(std::string_view number, int seed, bool deleted = false) {
  std::string r = Pattern(311, seed, deleted);
  Put(r, 0, Pad(number, 11));
  return r;
}

std::string F03(const std::string& s) {
  return Fields({{s.substr(0, 51), 61}, {s.substr(148, 20), 22}, {s.substr(168, 2), 2}, {s.substr(130, 18), 18},
                 {s.substr(175, 2), 2}, {s.substr(177, 2), 11}, {s.substr(179, 3), 339}});
}

std::string Method(std::string_view number, std::string_view name, std::string_view active, std::string_view type,
                   std::string_view f99) {
  return Fields({{number, 11}, {name, 40}, {active, 2}, {type, 46}, {f99, 69}, {"1", 2}, {"1", 2}, {"0", 139}});
}

// The seven defaults; record 003 carries the 46 characters given.
std::string Defaults(const std::string& boleta46) {
  return Method("001", "DINHEIRO", "10", "01", "0") + Method("002", "CHEQUE", "10", "02", "1") +
         Fields({{"003", 11}, {"BOLETA", 40}, {"10", 2}, {boleta46, 46}, {"1", 69}, {"1", 2}, {"1", 2}, {"0", 139}}) +
         Method("005", "DEP\xD3SITO", "10", "05", "1") + Method("006", "CART\xC3O", "10", "06", "1") +
         Method("007", "DINHEIRO", "00", "01", "0") + Method("008", "CHEQUE", "00", "02", "1");
}

std::string Counter(std::string_view key, std::string_view value) { return Fields({{"", 10}, {key, 10}, {value, 10}}); }

TEST_F(Step543Test, WithoutMethodsF14R0GetsTheDefaultsAndKeepsItsChargesInF03R0) {
  const std::string r150 = F14("150", 1), r120 = F14("120", 2, true), r300 = F14("300", 3), r800 = F14("  800", 4);
  // A deleted method does not count.
  box.Write("F14R0.DAT", r150 + r120 + F14("007", 5, true) + r300 + r800);
  box.Write("F34.DAT", Counter("14", "57"));
  box.Write("C28R0.DAT", "c28");

  steps::RelayoutPaymentMethods(ui);

  EXPECT_EQ(box.Read("F03R0.DAT"), F03(r150));
  EXPECT_EQ(box.Read("F14R0.DAT"), Defaults(Fields({{"03", 12}, {r800.substr(65, 5), 5}, {r800.substr(70, 5), 5},
                                                    {r800.substr(75, 7), 24}})));
  EXPECT_EQ(box.Read("F34.DAT"), Counter("14", "8") + Counter("3", "57"));
  EXPECT_EQ(box.Read("F28R0.DAT"), "c28");
  EXPECT_FALSE(box.Exists("C28R0.DAT"));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Step543Test, AMethodNumberedBelow100KeepsF14R0Whole) {
  const std::string table = F14("005", 1) + F14("150", 2) + F14("800", 3);
  box.Write("F14R0.DAT", table);
  steps::RelayoutPaymentMethods(ui);
  EXPECT_EQ(box.Read("F14R0.DAT"), table);
  EXPECT_EQ(box.Read("F03R0.DAT"), F03(F14("150", 2)));
  EXPECT_FALSE(box.Exists("F34.DAT"));
}

TEST_F(Step543Test, WithoutF14R0OrRecord800TheDefaultsHaveBlanksAndCounter3StartsAt0) {
  steps::RelayoutPaymentMethods(ui);
  const std::string defaults = Defaults("03");
  EXPECT_EQ(box.Read("F14R0.DAT"), defaults);
  EXPECT_EQ(box.Read("F34.DAT"), Counter("3", "0") + Counter("14", "8"));
  EXPECT_FALSE(box.Exists("F03R0.DAT"));

  // The next run finds the defaults: nothing is rewritten, F03R0.DAT now exists.
  steps::RelayoutPaymentMethods(ui);
  EXPECT_EQ(box.Read("F14R0.DAT"), defaults);
  EXPECT_EQ(box.Read("F34.DAT"), Counter("3", "0") + Counter("14", "8"));
  EXPECT_EQ(box.Read("F03R0.DAT"), "");
}

TEST_F(Step543Test, F08R1ReplacesF08R0) {
  const std::string a = Pattern(300, 1), b = Pattern(300, 2, true), c = Pattern(300, 3);
  box.Write("F08R0.DAT", a + b + c);
  steps::RelayoutPaymentMethods(ui);
  auto f08r1 = [](const std::string& s) {
    return Fields({{s.substr(0, 51), 239}, {s.substr(51, 1), 29}, {s.substr(62, 18), 732}});
  };
  EXPECT_EQ(box.Read("F08R1.DAT"), f08r1(a) + f08r1(c));
  EXPECT_FALSE(box.Exists("F08R0.DAT"));

  // With F08R1.DAT in place a new F08R0.DAT is left alone.
  box.Write("F08R0.DAT", a);
  steps::RelayoutPaymentMethods(ui);
  EXPECT_EQ(box.Read("F08R1.DAT"), f08r1(a) + f08r1(c));
  EXPECT_EQ(box.Read("F08R0.DAT"), a);
}

TEST_F(Step543Test, F13R1FieldMoveAndF25R0CodesRunOnce) {
  std::string moved = Pattern(1000, 1), blank = Pattern(1000, 2), one = Pattern(1000, 3), gone = Pattern(1000, 4, true);
  Put(moved, 512, "AB");
  Put(blank, 512, "  ");
  Put(one, 512, "C ");
  Put(gone, 512, "DE");
  box.Write("F13R1.DAT", moved + blank + one + gone);
  auto f25 = [](std::string_view code, bool deleted = false) {
    std::string r = Pattern(557, static_cast<int>(code.size()), deleted);
    Put(r, 0, Pad(code, 10));
    return r;
  };
  box.Write("F25R0.DAT", f25("123") + f25("12") + f25("1234") + f25("12345") + f25("456", true) + f25(""));

  steps::RelayoutPaymentMethods(ui);

  std::string moved_after = moved, one_after = one;
  Put(moved_after, 512, "  ");
  Put(moved_after, 613, "AB");
  Put(one_after, 512, "  ");
  Put(one_after, 613, "C ");
  const std::string f13 = moved_after + blank + one_after + gone;
  std::string r123 = f25("123"), r456 = f25("456", true);
  Put(r123, 0, "00123");
  Put(r456, 0, "00456");
  const std::string f25_after = r123 + f25("12") + f25("1234") + f25("12345") + r456 + f25("");
  EXPECT_EQ(box.Read("F13R1.DAT"), f13);
  EXPECT_EQ(box.Read("F25R0.DAT"), f25_after);
  EXPECT_EQ(box.Read("CONV.DAT"), "543\r\n544\r\n");

  steps::RelayoutPaymentMethods(ui);
  EXPECT_EQ(box.Read("F13R1.DAT"), f13);
  EXPECT_EQ(box.Read("F25R0.DAT"), f25_after);
  EXPECT_EQ(box.Read("CONV.DAT"), "543\r\n544\r\n");
}

std::string WithCountry(int seed, std::string_view country, bool deleted = false) {
  std::string r = Pattern(1000, seed, deleted);
  Put(r, 643, Pad(country, 20));
  return r;
}

TEST_F(Step543Test, CountryNamesBecomeCodesAndStayCodesOnLaterRuns) {
  const char* names[] = {"Brasil", "BRASIL", "brasileira", "Argentina", "BRAZIL", "X", "", "  0", "  3", "Bras"};
  const char* codes[] = {"  0", "  0", "  0", "  3", "  3", "X", "", "  0", "  3", "  3"};
  std::string f10, f10_after;
  for (int i = 0; i < 10; ++i) {
    f10 += WithCountry(i, names[i]);
    f10_after += WithCountry(i, codes[i]);
  }
  f10 += WithCountry(10, "Argentina", true);
  f10_after += WithCountry(10, "Argentina", true);
  box.Write("F10R4.DAT", f10);
  const std::string f02 = WithCountry(20, "brasil") + WithCountry(21, "Chile");
  const std::string f02_after = WithCountry(20, "  0") + WithCountry(21, "  3");
  box.Write("F02R1.DAT", f02);

  steps::RelayoutPaymentMethods(ui);
  EXPECT_EQ(box.Read("F10R4.DAT"), f10_after);
  EXPECT_EQ(box.Read("F02R1.DAT"), f02_after);

  steps::RelayoutPaymentMethods(ui);
  EXPECT_EQ(box.Read("F10R4.DAT"), f10_after);
  EXPECT_EQ(box.Read("F02R1.DAT"), f02_after);
}

}  // namespace
