// The whole conversion of a small old installation, step after step as the
// Convert command runs them, and then a second time over the result.
//
// Every input record is made by hand with values chosen so that the final
// records can be worked out from the layouts; the expected records below are
// written that way, not taken from the program.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "steps/steps.h"
#include "store/changes.h"
#include "tests/support/sandbox.h"

namespace {

namespace fs = std::filesystem;
using vektest::Fields;
using vektest::Fill;
using vektest::Pad;

// A record of `length` spaces with texts put at their offsets; `flag` is the
// last byte.
std::string Rec(std::size_t length, std::initializer_list<std::pair<std::size_t, std::string_view>> texts,
                char flag = ' ') {
  std::string r(length, ' ');
  for (const auto& [at, text] : texts) r.replace(at, text.size(), text);
  r.back() = flag;
  return r;
}

// The files below a folder, as sorted relative paths, with their bytes.
std::map<std::string, std::string> Tree(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    files[fs::relative(e.path(), folder).generic_string()] =
        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return files;
}

std::vector<std::string> Names(const std::map<std::string, std::string>& tree) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : tree) names.push_back(name);
  return names;
}

// The same names with the same bytes (naming the files that differ).
void ExpectSameFiles(const std::map<std::string, std::string>& actual,
                     const std::map<std::string, std::string>& expected) {
  EXPECT_EQ(Names(actual), Names(expected));
  for (const auto& [name, bytes] : expected) {
    EXPECT_TRUE(actual.count(name) && actual.at(name) == bytes) << name << " differs";
  }
}

// Record i of a fixed-record file.
std::string Record(const std::string& file, std::size_t length, std::size_t i) {
  return file.substr(i * length, length);
}

class WholeConversion : public vektest::SandboxTest {
 protected:
  void Convert() {
    for (const steps::Step& step : steps::AllSteps()) step.run(ui);
  }
  fs::path Retired() const { return box.temp / "Zelk" / "Vek"; }

  // The old installation: a few records of every kind of file that a step reads.
  void MakeOldInstallation() {
    // Member table and its yearly payment marks (units of an 18-character key
    // and 12 month marks). C001 pays monthly from 15/10/2010 and left November
    // 2010 open; C002 pays yearly and owes 2010; C003 is deleted.
    box.Write("F10r2.dat",
              Rec(897, {{0, "C001"}, {19, "Ana Lima"}, {60, "Rua A 1"}, {101, "Centro"}, {142, "Recife"},
                        {173, "PE"}, {183, "50000-000"}, {214, "F"}, {217, "15/10/2010"}, {228, "DOC1"},
                        {247, "DOC2"}, {275, "3222-1234"}, {306, "9999-0000"}, {337, "Obs"}, {368, "X123"},
                        {379, "Brasil"}, {410, "Prof"}, {441, "V"}, {472, "e1"}, {513, "e2"}, {554, "e3"},
                        {712, "1"}, {715, "Nota A"}, {766, "S"}, {768, "0"}, {771, "0"}, {773, "01/02/2003"},
                        {784, "7"}}) +
                  Rec(897, {{0, "C002"}, {19, "Beto Reis"}, {217, "01/01/2009"}, {275, "81 3333-4444"},
                            {379, "Argentina"}, {441, "D"}, {712, "12"}, {768, "1"}}) +
                  Rec(897, {{0, "C003"}, {19, "Apagado"}}, '+'));
    box.Write("REG/RM2009.DAT", Pad("C002", 18) + "************");
    // Out of order and C001 twice: the later unit is the one that counts.
    box.Write("REG/RM2010.DAT", Pad("C001", 18) + "************" + Pad("C002", 18) + "*****       " +
                                    Pad("C001", 18) + "         * *");
    box.Write("f13.dat", Rec(478, {{0, "Fornecedor A"}, {101, "11111"}, {112, "F13KEY"}}));
    box.Write("f14.dat", Rec(479, {{0, "Contato B"}, {60, "p"}}));
    box.Write("f15.dat", Rec(538, {{0, "Depto C"}}));
    // Value table (fields 0 and 1) and due-date settings: monthly on day 10,
    // yearly on 5 March, usual shifts.
    box.Write("Conf10.dat", Fields({{"50,00", 19}, {"600,00", 19}, {"", 8 * 19}, {"10", 19}, {"", 19},
                                    {"5", 19}, {"3", 19}, {"", 19}}));
    box.Write("Conf11.dat", Rec(337, {{0, "Banco X"}, {40, "123"}}));
    box.Write("Config22.dat", Rec(46, {{0, "Dinheiro"}, {30, "1"}, {31, "x"}}) + Rec(46, {{31, "sem nome"}}));
    // A main record and its note.
    box.Write("REG01/AB.DAT", Rec(79, {{0, "M001"}, {13, "M"}, {20, "00042"}, {25, "01/05/2001"}, {39, "Taxa"}}) +
                                  Rec(79, {{0, "#Aviso"}, {25, "ligar dia 5"}, {39, "urgente"}}));
    box.Write("REG02/A7.DAT", Rec(557, {{0, "42"}, {7, "Conta"}, {18, "E"}, {19, "3"}, {59, "100,50"}}));
    box.Write("REG02/F20r2.dat", "F20");
    box.MakeFolder("R50");
    // Deleted first: it takes no number in F09R0.DAT.
    box.Write("F11R2.DAT",
              Rec(1581, {{0, "DEL01"}}, '+') +
                  Rec(1581, {{0, "CLI01"}, {19, "Joao Silva"}, {60, "Rua B"}, {101, "Boa Vista"}, {142, "Olinda"},
                             {173, "PE"}, {183, "53000-000"}, {214, "M"}, {217, "10/10/1990"}, {228, "RG1"},
                             {247, "7891000100100"}, {266, "12-34 56"}, {275, "Obs12"}, {347, "9876-5432"},
                             {409, "Maria"}, {487, "7654321 8"}, {499, "X9"}, {510, "BANCO1"},
                             {825, "05/05/2005"}, {1508, "00100001000010000010110"}}));
    box.Write("CONF14.DAT", Rec(40, {{0, "AB"}, {5, "Grupo A"}}));
    box.Write("F27.DAT", Rec(1000, {{0, "FORN1"}, {290, "Fone: 2121-3434"}, {331, "fone: 2121"}, {643, "brasileira"}}));
    box.Write("F08R0.DAT", Rec(300, {{0, "Item 1"}, {51, "Z"}, {62, "resto"}}));
    box.Write("C28R0.DAT", Rec(1000, {{544, "Q"}}));
    box.Write("F25R0.DAT", Rec(557, {{0, "123"}}));
    // Counters "10", "60B" and "14".
    box.Write("CONFIGA.DAT", Fields({{"25", 11}, {"", 11 * 11}, {"7", 11}, {"", 11}, {"57", 11}}));
    box.Write("F15R0.DAT", Rec(300, {{0, "F15A"}, {86, "1"}}));
    // Texts: kind 1, another kind, and kind 1 longer than 300.
    box.Write("F90.DAT", "1" + Pad("T1", 10) + "00005Hello" + "2" + Pad("T2", 10) + "00003xyz" + "1" + Pad("T3", 10) +
                             "00450" + Fill(300, 'a') + Fill(150, 'b'));
    box.Write("F26R0.DAT", Rec(1000, {{0, "0007"}}));
    box.Write("R08/CD.DAT", Rec(160, {{0, "A"}, {1, "Joao"}, {11, "K0001"}, {21, "28/02/2001"}, {31, "Sala 2"},
                                      {41, "03"}, {44, "Trazer recibo"}}) +
                                Rec(160, {{0, "B"}, {11, "K0002"}, {21, "01/03/2001"}, {41, "Consulta"}}));
    box.MakeFolder("R33");
    box.Write("F00R0.DAT", Rec(1000, {{0, "P00001"}, {290, "Recado com Maria: 3222-1234 ou 3222-9876"}}));
    box.Write("C04.DAT", Fill(833, 'c'));
    box.Write("C04B.DAT", "novo");
    box.Write("R01/AGENDA.DAT", "agenda");
    for (const char* name : {"vek.txt", "Acc001.dat", "d21b.den", "Glb01.hlp", "F16.dat"}) box.Write(name, "old");
    box.Write(box.root / "Zelk" / "Fotos" / "Vek" / "540" / "0007-540.jpg", "JPEG");
    // The legacy folder still holds the supplier table (never emptied).
    box.Write(box.root / "Glebrium" / "F17.DAT",
              Rec(896, {{0, "K17"}, {19, "Fornec"}, {275, "Rua do Sol 100 fundos tel 3333"}, {306, "88887777"}}));
  }
};

TEST_F(WholeConversion, LeavesTheCurrentFilesAndASecondRunChangesNothing) {
  platform::SetToday(platform::Date{2011, 3, 1});
  MakeOldInstallation();

  Convert();

  const auto data = Tree(box.data);
  EXPECT_EQ(Names(data), (std::vector<std::string>{
                             "CONV.DAT", "F00R0.DAT", "F01R0.DAT", "F02R1.DAT", "F03R0.DAT", "F08R1.DAT",
                             "F09R0.DAT", "F10R4.DAT",
                             "F10R4_469.BAK",  // the member table as 4.35 left it, kept by 4.69
                             "F13R1.DAT", "F14R0.DAT", "F15R1.DAT", "F18R2.DAT", "F19.DAT",
                             "F22.BAK",  // the due entries that the month grids replaced
                             "F24.DAT", "F25R0.DAT", "F26R0.DAT", "F28R0.DAT", "F32.DAT", "F34.DAT", "F40.DAT",
                             "FTEL1.DAT",
                             "R33/AGENDA.DAT",  // moved in from R01
                             "R33/L33AB.DAT", "R33/L33CD.DAT", "R50/7.DAT", "X01/26/0007-1.jpg"}));
  EXPECT_EQ(Names(Tree(Retired())),
            (std::vector<std::string>{
                "Conf10.dat", "F10R2.DAT", "F10R3.DAT", "F11R2.DAT", "F11R3.DAT", "F13R0.DAT",
                "F14R0.DAT",  // the charge kinds 5.30 laid out, before the default methods replaced them
                "F15R0.DAT", "F17.DAT", "F17R0.DAT", "F18R0.DAT", "F18R1.DAT", "F31.DAT",
                "R08/CD.DAT", "REG/RM2009.DAT", "REG/RM2010.DAT", "REG01/AB.DAT", "REG02/A7.DAT",
                "REG02/F20r2.dat", "REG02/F20r2.tmp", "REG04/AB.DAT",
            }));
  // Nothing of the table the default methods replaced is lost: its two
  // charge kinds are in F03R0.DAT, and the table itself beside the others.
  EXPECT_EQ(box.Read(Retired() / "F14R0.DAT").size(), 2u * 311);
  // The old photo folder is gone with its parent.
  EXPECT_EQ(box.List(box.root / "Zelk"), (std::vector<std::string>{"Vek"}));
  // The yearly file as cleaned by 3.70: sorted, the last C001 unit kept.
  EXPECT_EQ(box.Read(Retired() / "REG" / "RM2010.DAT"),
            Pad("C001", 18) + "         * *" + Pad("C002", 18) + "*****       ");
  // Widened by 4.07 (380 spaces at 190), then put away.
  EXPECT_EQ(box.Read(Retired() / "Conf10.dat"), Fields({{"50,00", 19}, {"600,00", 19}, {"", 8 * 19 + 380}, {"10", 19},
                                                        {"", 19}, {"5", 19}, {"3", 19}, {"", 19}}));
  EXPECT_EQ(data.at("CONV.DAT"), "530\r\n543\r\n544\r\n559\r\n");

  // ---- F10R4.DAT: the deleted member is gone ----
  const std::string& f10 = data.at("F10R4.DAT");
  ASSERT_EQ(f10.size(), 2000u);
  // C001: 4.35 lays the record out, with the period code "01" and the value
  // "50,00" at 826; 4.69 writes the grid of the open months (Nov 2010 open,
  // Dec paid, Jan-Mar 2011 open: marks 0 1 0 0 0, the one "1" packing to "0")
  // from its first due date 10/11/2010, and kind 100; the "530" patch moves
  // field 28 to 239, the date at 816 to 552, the kind to 815, and the kind
  // letter V (3) becomes 5; the country becomes 0; the second telephone is
  // appended to the first.
  EXPECT_EQ(Record(f10, 1000, 0),
            Fields({{"C001", 11},       {"Ana Lima", 40},    {"Rua A 1", 40},    {"Centro", 70},
                    {"Recife", 30},     {"PE", 9},           {"50000-000", 30},  {"F", 2},
                    {"7", 7},           {"0", 1},            {"15/10/2010", 10}, {"DOC1", 18},
                    {"DOC2", 18},       {"", 4},             {"3222-1234 / 9999-0000", 41},
                    {"", 41},           {"Nota A", 120},     {"X123", 10},       {"10/11/2010", 10},
                    {"0", 40},          {"01/02/2003", 61},  {"Obs", 30},        {"  0", 20},
                    {"Prof", 30},       {"5", 1},            {"e1", 40},         {"e2", 40},
                    {"e3", 40},         {"S", 1},            {"100", 185}}));
  // C002: yearly entries 2010 and 2011 give a grid from 01/01/2010 without
  // months between open entries; kind 101; D (4) becomes 3; Argentina 3.
  EXPECT_EQ(Record(f10, 1000, 1),
            Fields({{"C002", 11}, {"Beto Reis", 40}, {"", 189}, {"01/01/2009", 10}, {"", 40},
                    {"81 3333-4444", 41}, {"", 171}, {"01/01/2010", 10}, {"", 131}, {"  3", 20}, {"", 30},
                    {"3", 1}, {"", 121}, {"101", 185}}));

  // ---- F09R0.DAT from the live F11R2.DAT record ----
  // The "530" patch moved the text at 552-594 to 613 and the date at 492 to
  // 552; 5.59 formatted the 13-digit code at 354, rearranged the block at
  // 613 (the 8-digit code formatted) and blanked 154-160.
  const std::string& f09 = data.at("F09R0.DAT");
  EXPECT_EQ(f09, Fields({{"00001", 5},
                         {"", 6},
                         {"Joao Silva", 80},
                         {"Boa Vista", 63},
                         {"", 7},
                         {Fields({{"Olinda", 30}, {"PE", 9}, {"53000-000", 30}, {"M", 2}}), 78},
                         {"2", 11},
                         {"RG1", 18},
                         {"CLI01", 22},
                         {"9876-5432", 64},
                         {"789.100.010.010-0", 138},
                         {"", 10},
                         {"X9", 10},
                         {"", 40},
                         {"05/05/2005", 61},
                         {"Maria", 27},
                         {"2", 1},
                         {"BANCO1", 18},
                         {"7654321-8", 9},
                         {"", 147}}));

  // ---- F14R0.DAT: its records were the charge kinds 100 and 101, now in
  // F03R0.DAT; without methods 1-99 it holds the seven default methods ----
  auto method = [](std::string_view n, std::string_view name, std::string_view active, std::string_view type,
                   std::string_view f99) {
    return Fields({{n, 11}, {name, 40}, {active, 2}, {type, 46}, {f99, 69}, {"1", 2}, {"1", 2}, {"0", 139}});
  };
  EXPECT_EQ(data.at("F14R0.DAT"),
            method("001", "DINHEIRO", "10", "01", "0") + method("002", "CHEQUE", "10", "02", "1") +
                method("003", "BOLETA", "10", "03", "1") + method("005", "DEP\xD3SITO", "10", "05", "1") +
                method("006", "CART\xC3O", "10", "06", "1") + method("007", "DINHEIRO", "00", "01", "0") +
                method("008", "CHEQUE", "00", "02", "1"));
  // The charge kinds, as F31.DAT numbered and named them.
  auto payment = [](std::string_view n, std::string_view label, std::string_view period, std::string_view value) {
    return Fields({{Fields({{n, 11}, {label, 40}}), 61}, {"", 22}, {period, 2}, {value, 18}, {"", 352}});
  };
  EXPECT_EQ(data.at("F03R0.DAT"), payment("100", "R$ 50,00 por m\xEAs", "01", "50,00") +
                                      payment("101", "R$ 600,00 por ano", "12", "600,00"));
  // Counters: CONFIGA.DAT gave 10, 60B and 14; the default methods stored
  // key 14's 57 under key 3 and 8 under 14; the cleanup removed 60B, the last
  // record taking its place.
  EXPECT_EQ(data.at("F34.DAT"), Fields({{"", 10}, {"10", 10}, {"25", 10}, {"", 10}, {"3", 10}, {"57", 10},
                                        {"", 10}, {"14", 10}, {"8", 10}}));

  // ---- FTEL1.DAT: F00R0 overflow, F01R0 second number too long to append,
  // F02R1's second number repeats its first, C002 and F09R0 have none ----
  EXPECT_EQ(data.at("FTEL1.DAT"), "00010" + Pad("P00001", 10) + Pad("876", 23) + "\r\n" +  //
                                      "01020" + Pad("K17", 10) + Pad("88887777", 23) + "\r\n" +
                                      "10021" + Pad("C001", 10) + Pad("9999-0000", 23) + "\r\n");

  // ---- F40.DAT: the two kind "1" texts, the second cut to 300 ----
  EXPECT_EQ(data.at("F40.DAT"),
            Fields({{"100", 3}, {"", 10}, {"110", 3}, {"T1", 10}, {"5", 6}, {"5", 4}, {"0", 3}, {"1", 1},
                    {"Hello", 460}}) +
                Fields({{"100", 3}, {"", 10}, {"110", 3}, {"T3", 10}, {"300", 6}, {"300", 4}, {"0", 3}, {"1", 1},
                        {Fill(300, 'a'), 460}}));

  // ---- R33: REG04's note linked to its main record; R08's kind A ----
  // REG04 bytes 10-29 hold the running number given by 4.35, so the main
  // record carries it at 86 and has no date at 113; the note's text is the
  // REG04 note record's bytes 1-100 as 4.35 wrote them.
  const std::string key = "00042/AB.D";
  const std::string note = Fields({{"Aviso", 9}, {"2", 20}, {"ligar dia 5", 14}, {"12", 22}, {"", 5},
                                   {"urgente", 14}, {"", 16}});
  EXPECT_EQ(data.at("R33/L33AB.DAT"),
            Fields({{key, 20}, {key, 10}, {"Taxa", 18}, {"Taxa", 18}, {"0", 6}, {"", 3}, {"0", 1}, {"M001", 10},
                    {"1", 20}, {"", 2}, {"01", 5}, {"", 38}, {"1", 10}, {"", 99}}) +
                "B" + Pad("0", 10) + Pad(note, 249));
  EXPECT_EQ(data.at("R33/L33CD.DAT"),
            Fields({{"K0001", 10}, {"02/03/2001", 10}, {"28/02/2001", 10}, {"", 36}, {"0", 9}, {"0", 1},
                    {"Sala 2", 10}, {"Joao", 20}, {"", 2}, {"40", 5}, {"", 147}}) +
                "#" + Pad("Trazer recibo", 259));
  EXPECT_EQ(data.at("X01/26/0007-1.jpg"), "JPEG");
  EXPECT_TRUE(ui.messages.empty());

  // ---- A second conversion ----
  const auto retired_before = Tree(Retired());
  Convert();

  // The data folder is byte for byte the same: every guard finds its work
  // done. The steps that run on every conversion find nothing to change:
  // the country codes of F10R4/F02R1 are recoded already, C04.DAT is gone,
  // and the cleanup finds none of its names.
  ExpectSameFiles(Tree(box.data), data);
  // Nor does the temporary folder: the legacy folder's F17.DAT was consumed
  // by the first conversion and is not imported (and put away) again.
  ExpectSameFiles(Tree(Retired()), retired_before);
  EXPECT_TRUE(ui.messages.empty());
}

// The conversion as the program runs it: each step in its own change set.
// It must give the same files as the steps run straight on them, and a
// conversion stopped by a step that cannot write must go on where it stopped,
// on the date it started with.
TEST_F(WholeConversion, StepsCommittedOneByOneGiveTheSameFilesAndAStoppedConversionGoesOn) {
  MakeOldInstallation();
  // The installation as it is, to start again from.
  const fs::path saved = box.root.parent_path() / (box.root.filename().string() + "-saved");
  fs::copy(box.root, saved, fs::copy_options::recursive);
  auto restore = [&] {
    fs::current_path(box.root);
    fs::remove_all(box.root / "Zelk");
    fs::remove_all(box.temp);
    fs::copy(saved / "Zelk", box.root / "Zelk", fs::copy_options::recursive);
    fs::copy(saved / "tmp", box.temp, fs::copy_options::recursive);
    fs::current_path(box.data);
  };

  platform::SetToday(platform::Date{2011, 3, 1});
  Convert();
  const auto data = Tree(box.data);
  const auto retired = Tree(Retired());

  restore();
  steps::ConversionResult done = steps::Convert(ui);
  EXPECT_EQ(done.outcome, steps::Outcome::kDone) << done.message;
  ExpectSameFiles(Tree(box.data), data);
  ExpectSameFiles(Tree(Retired()), retired);

  // F19.DAT, which 4.31 writes, is there read-only: 4.31 stops.
  restore();
  box.Write("F19.DAT", "read-only");
  platform::SetReadOnly("F19.DAT", true);
  ui.messages.clear();
  steps::ConversionResult stopped = steps::Convert(ui);
  EXPECT_EQ(stopped.outcome, steps::Outcome::kStopped);
  EXPECT_NE(stopped.message.find("(4.31)"), std::string::npos) << stopped.message;
  EXPECT_NE(stopped.message.find("F19.DAT"), std::string::npos) << stopped.message;
  // The steps before it are done; nothing of 4.31 is (Conf11.dat is not even
  // renamed).
  EXPECT_TRUE(box.Exists("F13R0.DAT"));
  EXPECT_TRUE(box.Exists("Conf11.dat"));
  EXPECT_FALSE(box.Exists("F18.DAT"));
  EXPECT_FALSE(box.Exists("F18R0.DAT"));
  EXPECT_TRUE(box.Exists(steps::kProgressFile));
  EXPECT_FALSE(box.Exists(store::kStagingFolder));

  // Put right, a month later: the conversion goes on with 4.31, as of the
  // day it started (the due entries of 4.35 depend on it).
  platform::SetReadOnly("F19.DAT", false);
  fs::remove(box.Path("F19.DAT"));
  platform::SetToday(platform::Date{2011, 4, 1});
  steps::ConversionResult resumed = steps::Convert(ui);
  EXPECT_EQ(resumed.outcome, steps::Outcome::kDone) << resumed.message;
  ExpectSameFiles(Tree(box.data), data);
  ExpectSameFiles(Tree(Retired()), retired);
  fs::remove_all(saved);
}

}  // namespace
