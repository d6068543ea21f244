#include "sample/install.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <initializer_list>
#include <numeric>
#include <string_view>

#include "platform/files.h"
#include "platform/format.h"
#include "store/record_io.h"
#include "text/cp1252.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace sample {
namespace {

using platform::Format;
using store::RecordWriter;

// ---- deterministic randomness ------------------------------------------

std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Every table draws from its own stream and every record from its own seed in
// it, so that a record never depends on how much was drawn before it: the
// member table, the yearly files and the photo table agree without keeping the
// members in memory.
enum RngStream : std::uint64_t {
  kMember = 1,
  kHistory,
  kMarks,
  kStale,
  kYearFile,
  kOrder,
  kRelative,
  kConfig,
  kReceipt,
  kBatch,
  kPartner,
  kOtherPerson,
  kSmallTable,
  kNote,
  kPhoto,
  kAgenda,
  kLegacy,
};

class Rng {
 public:
  Rng(std::uint64_t seed, std::uint64_t stream, std::uint64_t index) {
    std::uint64_t s = seed;
    s = SplitMix(s) ^ (stream * 0xD1B54A32D192ED03ULL);
    s = SplitMix(s) ^ index;
    state_ = s;
  }
  std::uint64_t Next() { return SplitMix(state_); }
  // 0 .. n-1
  std::int64_t Below(std::int64_t n) {
    return n <= 1 ? 0 : static_cast<std::int64_t>(Next() % static_cast<std::uint64_t>(n));
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Below(hi - lo + 1)); }
  bool PerMille(int p) { return Below(1000) < p; }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  const std::string& Pick(const std::vector<std::string>& v) {
    return v[static_cast<std::size_t>(Below(static_cast<std::int64_t>(v.size())))];
  }
  std::string Digits(int n) {
    std::string s;
    for (int k = 0; k < n; ++k) s += static_cast<char>('0' + Below(10));
    return s;
  }

 private:
  std::uint64_t state_;
};

// ---- word lists (cp1252) -------------------------------------------------

std::vector<std::string> Cp1252List(std::initializer_list<const char*> utf8) {
  std::vector<std::string> out;
  for (const char* s : utf8) {
    std::string t(s);
    out.push_back(text::FoldUtf8Latin1(t));
  }
  return out;
}

struct City {
  std::string name;
  const char* uf;
  int ddd;
  int cep;  // first five digits
};

struct Lists {
  std::vector<std::string> male = Cp1252List({
      "João", "José", "Antônio", "Francisco", "Carlos", "Paulo", "Pedro", "Lucas", "Luiz", "Marcos",
      "Luís", "Gabriel", "Rafael", "Daniel", "Marcelo", "Bruno", "Eduardo", "Felipe", "Raimundo",
      "Rodrigo", "Sebastião", "André", "Fernando", "Fábio", "Sérgio", "Vinícius", "Márcio", "Rogério",
      "Otávio", "Cláudio", "Jorge", "Ademar", "Valdir", "Inácio"});
  std::vector<std::string> female = Cp1252List({
      "Maria", "Ana", "Francisca", "Antônia", "Adriana", "Juliana", "Márcia", "Fernanda", "Patrícia",
      "Aline", "Sandra", "Camila", "Amanda", "Bruna", "Jéssica", "Letícia", "Júlia", "Luciana",
      "Vanessa", "Mariana", "Conceição", "Cecília", "Lúcia", "Helena", "Beatriz", "Débora", "Mônica",
      "Flávia", "Rosângela", "Tânia", "Inês", "Gláucia"});
  std::vector<std::string> surnames = Cp1252List({
      "Silva", "Santos", "Oliveira", "Souza", "Rodrigues", "Ferreira", "Alves", "Pereira", "Lima",
      "Gomes", "Costa", "Ribeiro", "Martins", "Carvalho", "Almeida", "Lopes", "Soares", "Fernandes",
      "Vieira", "Barbosa", "Rocha", "Dias", "Nascimento", "Andrade", "Moreira", "Nunes", "Marques",
      "Machado", "Mendes", "Freitas", "Cardoso", "Ramos", "Gonçalves", "Santana", "Teixeira", "Araújo",
      "Conceição", "Magalhães", "Simões", "Brandão", "Falcão", "Guimarães", "Damásio", "Assunção",
      "Patrício", "Estêvão", "Loureiro", "Sá", "Leão", "Mourão", "Romão", "Antunes", "Prudêncio",
      "Cortês", "Gusmão", "Tavares", "Quintão", "Lacerda", "Müller", "Schäfer"});
  std::vector<std::string> streets = Cp1252List({
      "Rua dos Andradas", "Av. Ipiranga", "Rua Voluntários da Pátria", "Av. Assis Brasil",
      "Rua José do Patrocínio", "Av. Protásio Alves", "Rua Padre Chagas", "Rua São Luís",
      "Av. João Pessoa", "Rua Félix da Cunha", "Travessa Açores", "Rua Marechal Floriano",
      "Av. Bento Gonçalves", "Rua Coronel Bordini", "Rua Dr. Timóteo", "Av. Getúlio Vargas"});
  std::vector<std::string> districts = Cp1252List({
      "Centro", "Bom Fim", "Menino Deus", "Petrópolis", "Cidade Baixa", "Moinhos de Vento", "Sarandi",
      "Partenon", "Glória", "Tristeza", "São João", "Navegantes", "Jardim Botânico", "Santana"});
  std::vector<std::string> professions = Cp1252List({
      "Comerciário", "Professora", "Médico", "Engenheiro", "Advogada", "Aposentado", "Estudante",
      "Funcionário Público", "Contador", "Bancário", "Autônomo", "Enfermeira", "Do lar", "Técnico"});
  std::vector<std::string> notes = Cp1252List({
      "Sócio desde a fundação.", "Pagamento em débito automático.",
      "Solicitou alteração de endereço.", "Dependente incluído em reunião da diretoria.",
      "Carteira social extraviada; emitida segunda via.", "Mensalidade com desconto de 50% (estudante).",
      "Comunicar ao tesoureiro antes de qualquer cobrança.", "Transferido de outra associação.",
      "Atualizar telefone na próxima visita.", "Isento por decisão da assembléia."});
  std::vector<std::string> relations = Cp1252List({
      "Cônjuge", "Companheira", "Pai", "Mãe", "Filho", "Filha", "filho(a)", "pai", "Irmão", "Avó",
      "Sobrinho", "Enteada", "Outro"});
  std::vector<std::string> roles = Cp1252List({
      "Secretária", "Tesoureiro", "Zelador", "Recepcionista", "Auxiliar de escritório", "Porteiro"});
  std::vector<std::string> donors = Cp1252List({"Doador mensal", "Doação única", "Voluntário", "Patrocínio"});
  std::vector<std::string> businesses = Cp1252List({
      "Farmácia", "Clínica", "Padaria", "Livraria", "Ótica", "Academia", "Escola", "Mercado",
      "Laboratório", "Odontologia"});
  std::vector<std::string> charges = Cp1252List({
      "Mensalidade social", "Taxa de manutenção", "Jóia de admissão", "Carteirinha", "Aluguel do salão",
      "Escolinha de futebol", "Natação", "Baile de aniversário", "Contribuição extra", "Estacionamento",
      "Armário", "Sauna", "Ginástica", "Excursão"});
  std::vector<std::string> banks = Cp1252List({
      "Banco do Brasil S.A.", "Caixa Econômica Federal", "Banrisul", "Banco Itaú S.A.", "Bradesco S.A.",
      "Sicredi", "Unibanco", "Banco Real"});
  std::vector<std::string> countries_other = Cp1252List({
      "Argentina", "Uruguai", "Portugal", "Itália", "Alemanha", "Paraguai", "BRAZIL", "Espanha"});
  std::vector<std::string> marital = Cp1252List({"Solteiro(a)", "Casado(a)", "Viúvo(a)", "Divorciado(a)"});
  std::vector<City> cities = {
      {Fold("Porto Alegre"), "RS", 51, 90000}, {Fold("Canoas"), "RS", 51, 92000},
      {Fold("Caxias do Sul"), "RS", 54, 95000}, {Fold("Pelotas"), "RS", 53, 96000},
      {Fold("Santa Maria"), "RS", 55, 97000}, {Fold("Gravataí"), "RS", 51, 94000},
      {Fold("Novo Hamburgo"), "RS", 51, 93300}, {Fold("São Leopoldo"), "RS", 51, 93000},
      {Fold("Passo Fundo"), "RS", 54, 99000}, {Fold("Viamão"), "RS", 51, 94400},
      {Fold("São Paulo"), "SP", 11, 1000}, {Fold("Florianópolis"), "SC", 48, 88000},
      {Fold("Curitiba"), "PR", 41, 80000}};

  static std::string Fold(const char* utf8) {
    std::string s(utf8);
    return text::FoldUtf8Latin1(s);
  }
};

const Lists& Words() {
  static const Lists lists;
  return lists;
}

// Lower-case ASCII for e-mail addresses: the accented letters of the lists
// lose their accent, anything else that is no letter is dropped.
std::string AsciiLower(std::string_view cp1252) {
  static constexpr std::string_view kFrom = "\xE0\xE1\xE2\xE3\xE4\xE7\xE8\xE9\xEA\xEC\xED\xEE\xF2\xF3\xF4\xF5\xF6\xF9\xFA\xFB\xFC"
                                            "\xC0\xC1\xC2\xC3\xC4\xC7\xC8\xC9\xCA\xCC\xCD\xCE\xD2\xD3\xD4\xD5\xD6\xD9\xDA\xDB\xDC";
  static constexpr std::string_view kTo = "aaaaaceeeiiiooooouuuu"
                                          "aaaaaceeeiiiooooouuuu";
  std::string out;
  for (char c : cp1252) {
    if (c >= 'A' && c <= 'Z') out += static_cast<char>(c - 'A' + 'a');
    else if (c >= 'a' && c <= 'z') out += c;
    else if (std::size_t k = kFrom.find(c); k != std::string_view::npos) out += kTo[k];
  }
  return out;
}

// ---- values --------------------------------------------------------------

std::string Date(int day, int month, int year) {
  text::CalendarDate d;
  d.day = day;
  d.month = month;
  d.year = year;
  return text::FormatDate(d);
}

std::string RandomDate(Rng& r, int from_year, int to_year) {
  return Date(r.Range(1, 28), r.Range(1, 12), r.Range(from_year, std::max(from_year, to_year)));
}

// "1.234,56"
std::string Amount(double v) { return text::FormatNumber(v, 2); }
std::string RandomAmount(Rng& r, int min_cents, int max_cents) {
  return Amount(static_cast<double>(r.Range(min_cents, max_cents)) / 100.0);
}

std::string Landline(Rng& r, int ddd) { return Format("(%02d) 3%03d-%04d", ddd, r.Range(0, 999), r.Range(0, 9999)); }
std::string Mobile(Rng& r, int ddd) { return Format("(%02d) 9%03d-%04d", ddd, r.Range(100, 999), r.Range(0, 9999)); }

std::string Cpf(Rng& r) {
  std::string d = r.Digits(11);
  return d.substr(0, 3) + "." + d.substr(3, 3) + "." + d.substr(6, 3) + "-" + d.substr(9, 2);
}

std::string Cnpj(Rng& r) {
  std::string d = r.Digits(8);
  return d.substr(0, 2) + "." + d.substr(2, 3) + "." + d.substr(5, 3) + "/0001-" + r.Digits(2);
}

// Codes with a modulo-11 check digit, in the forms that data entry produced
// over the years: formatted, bare digits, a wrong check digit now and then,
// or nothing.
std::string CheckedCode13(Rng& r) {
  int kind = static_cast<int>(r.Below(100));
  if (kind < 15) return "";
  std::string digits = r.Digits(12);
  std::string work = digits;
  char check = text::Mod11CheckDigit(work, 7);
  if (kind < 20) check = static_cast<char>('0' + (check - '0' + 1) % 10);
  if (kind < 60) {
    return digits.substr(0, 3) + "." + digits.substr(3, 3) + "." + digits.substr(6, 3) + "." + digits.substr(9, 3) +
           "-" + check;
  }
  return digits + check;
}

std::string CheckedCode8(Rng& r) {
  int kind = static_cast<int>(r.Below(100));
  if (kind < 15) return "";
  std::string digits = r.Digits(7);
  std::string work = digits;
  char check = text::Mod11CheckDigit(work, 9);
  if (kind < 20) check = static_cast<char>('0' + (check - '0' + 1) % 10);
  if (kind < 65) return digits + "-" + check;
  return digits + check;
}

std::string Title(Rng& r, bool female) {
  const Lists& w = Words();
  return r.Pick(female ? w.female : w.male);
}

// "Maria Conceição Gonçalves Loureiro", at most 40 characters.
std::string FullName(Rng& r, bool female, const std::string& family) {
  const Lists& w = Words();
  std::string first = Title(r, female);
  if (r.PerMille(300)) {
    std::string second = Title(r, female);
    if (second != first) first += " " + second;
  }
  std::string name = first + " " + r.Pick(w.surnames);
  if (r.PerMille(150)) name = first + (female ? " da " : " dos ") + r.Pick(w.surnames);
  name += " " + (family.empty() ? r.Pick(w.surnames) : family);
  if (name.size() > 40) name = first.substr(0, first.find(' ')) + " " + (family.empty() ? r.Pick(w.surnames) : family);
  return name.substr(0, 40);
}

struct Person {
  bool female = false;
  std::string family;  // the last surname, shared with relatives
  std::string name, street, district, complement, city, uf, cep, phone1, phone2, cpf, rg, email;
  std::string profession, birth, country, birthplace, marital, father, mother, spouse, note;
  int ddd = 51;
};

Person MakePerson(Rng& r, int adult_in_year) {
  const Lists& w = Words();
  Person p;
  p.female = r.PerMille(480);
  p.family = r.Pick(w.surnames);
  p.name = FullName(r, p.female, p.family);
  const City& city = w.cities[static_cast<std::size_t>(r.Below(r.PerMille(700) ? 1 : static_cast<std::int64_t>(w.cities.size())))];
  p.city = city.name;
  p.uf = city.uf;
  p.ddd = city.ddd;
  p.cep = Format("%05d-%03d", city.cep + r.Range(0, 999), r.Range(0, 999));
  p.street = Format("%s, %d", r.Pick(w.streets).c_str(), r.Range(1, 4500));
  p.complement = r.PerMille(400) ? Format("Apto %d", r.Range(101, 1204)) : (r.PerMille(100) ? "Casa 2" : "");
  p.district = r.Pick(w.districts);
  p.phone1 = r.PerMille(60) ? "" : Landline(r, p.ddd);
  if (r.PerMille(80)) p.phone1 += Format(" / 3%03d-%04d", r.Range(0, 999), r.Range(0, 9999));
  int second = static_cast<int>(r.Below(100));
  if (second < 40) p.phone2 = "";
  else if (second < 75) p.phone2 = Mobile(r, p.ddd);
  else if (second < 85) p.phone2 = p.phone1.substr(0, std::min<std::size_t>(p.phone1.size(), 14));
  else if (second < 95) p.phone2 = Format("9%03d-%04d", r.Range(100, 999), r.Range(0, 9999));
  else p.phone2 = Mobile(r, p.ddd) + " recado";
  p.cpf = r.PerMille(100) ? "" : Cpf(r);
  p.rg = r.PerMille(150) ? "" : r.Digits(10);
  std::string first = p.name.substr(0, p.name.find(' '));
  static const char* const kMail[] = {"terra.com.br", "gmail.com", "yahoo.com.br", "hotmail.com", "uol.com.br"};
  if (!r.PerMille(450)) p.email = AsciiLower(first) + "." + AsciiLower(p.family) + "@" + kMail[r.Below(5)];
  p.profession = r.PerMille(200) ? "" : r.Pick(w.professions);
  p.birth = r.PerMille(50) ? "" : RandomDate(r, std::max(1915, adult_in_year - 70), adult_in_year - 16);
  int c = static_cast<int>(r.Below(1000));
  if (c < 500) p.country = "Brasil";
  else if (c < 780) p.country = "BRASIL";
  else if (c < 820) p.country = "brasil";
  else if (c < 860) p.country = "Brasileira";
  else if (c < 900) p.country = "";
  else if (c < 910) p.country = "B";
  else p.country = r.Pick(w.countries_other);
  p.birthplace = r.PerMille(300) ? "" : w.cities[static_cast<std::size_t>(r.Below(static_cast<std::int64_t>(w.cities.size())))].name;
  int m = static_cast<int>(r.Below(100));
  p.marital = m < 35 ? w.marital[0] : m < 80 ? w.marital[1] : m < 88 ? w.marital[2] : m < 96 ? w.marital[3] : "";
  p.father = r.PerMille(250) ? "" : FullName(r, false, p.family);
  p.mother = r.PerMille(150) ? "" : FullName(r, true, "");
  if (m >= 35 && m < 80) p.spouse = FullName(r, !p.female, "");
  p.note = r.PerMille(900) ? "" : r.Pick(w.notes);
  return p;
}

// ---- layouts ---------------------------------------------------------------

template <std::size_t N>
constexpr std::size_t Sum(const std::array<std::size_t, N>& widths) {
  std::size_t s = 0;
  for (std::size_t w : widths) s += w;
  return s;
}

// The member table before 3.70 (the first 897 bytes of its later layouts).
constexpr std::array<std::size_t, 35> kF10Widths = {19, 41, 41, 41, 31, 10, 31, 3,  11, 19, 19, 9,
                                                    31, 31, 31, 11, 31, 31, 31, 41, 41, 41, 101, 16,
                                                    3,  51, 2,  3,  2,  11, 3,  2,  2,  2,  104};
static_assert(Sum(kF10Widths) == 897);

// The 1000-byte person layout of the files that are already in it.
constexpr std::array<std::size_t, 28> kPerson1000Widths = {11, 40, 40, 70, 30, 9,   30, 2,  8,  10,
                                                           18, 18, 4,  41, 41, 120, 10, 10, 101, 30,
                                                           20, 30, 1,  40, 40, 40,  1,  185};
static_assert(Sum(kPerson1000Widths) == 1000);

constexpr std::array<std::size_t, 49> kF11Widths = {
    19, 41, 41, 41, 31, 10, 31, 3,  11, 19, 19, 9,  31, 41, 31, 31, 11, 11, 11, 45, 12, 11, 16, 16, 16,
    16, 16, 16, 16, 2,  2,  2,  2,  174, 21, 51, 81, 81, 91, 11, 91, 81, 41, 16, 2,  2,  133, 2,  73};
static_assert(Sum(kF11Widths) == 1581);

constexpr std::array<std::size_t, 19> kConf11Widths = {40, 18, 30, 15, 2, 18, 8, 2, 12, 4,
                                                       40, 40, 13, 2,  18, 40, 15, 2, 18};
static_assert(Sum(kConf11Widths) == 337);

enum class Separated { kNo, kYes };

// Writes the values in their widths; the last field ends with the record
// flag byte ("+" for a deleted record). In the old layouts every field ends
// with a separator byte, which stays a space.
template <std::size_t N>
bool PutRow(RecordWriter& w, const std::array<std::size_t, N>& widths, const std::array<std::string, N>& values,
            bool deleted, Separated separated) {
  const std::size_t keep = separated == Separated::kYes ? 1 : 0;
  for (std::size_t k = 0; k + 1 < N; ++k) w.Put(std::string_view(values[k]).substr(0, widths[k] - keep), widths[k]);
  w.Put(values[N - 1], widths[N - 1] - 1).Put(deleted ? "+" : " ", 1);
  return w.EndRecord();
}

// ---- the generator ---------------------------------------------------------

constexpr int kFirstHistoryYear = 1961;  // 1960 exists only in the legacy folder
constexpr int kLastHistoryYear = 2010;   // the yearly files end there

struct History {
  std::int16_t join_year = 0;
  std::int8_t join_month = 0;
  std::int8_t join_day = 0;
  std::int16_t first_year = 0;  // first year with a unit in the yearly files
  std::int8_t years = 0;        // consecutive years with units
  bool monthly = true;
  bool left = false;            // no longer a member: excluded from billing
};

struct Gen {
  SampleOptions opt;
  std::string root;
  std::string error;
  std::vector<SampleFile> files;
  int code_width = 5;
  std::int64_t orphans = 0;  // former members found only in the yearly files
  int history_end = kLastHistoryYear;

  std::string Host(const std::string& rel) const { return root + "/" + rel; }
  std::string Code(std::int64_t i) const { return Format("%0*lld", code_width, static_cast<long long>(i + 1)); }

  History MakeHistory(std::int64_t i) const {
    Rng r(opt.seed, kHistory, static_cast<std::uint64_t>(i));
    History h;
    // Membership grew over the years: recent years are the likelier joins,
    // most members within the last 25 years.
    double u = r.Unit();
    int span = r.PerMille(50) ? opt.last_year - kFirstHistoryYear + 1 : 25;
    h.join_year = static_cast<std::int16_t>(std::max(kFirstHistoryYear, opt.last_year - static_cast<int>(span * u * u)));
    h.join_month = static_cast<std::int8_t>(r.Range(1, 12));
    h.join_day = static_cast<std::int8_t>(r.Range(1, 28));
    h.monthly = !r.PerMille(150);
    // Most members pay on until today; those who left are excluded from billing
    // (exclusion number 1), so that no charges are raised for them.
    h.left = r.PerMille(150);
    int years = h.left ? r.Range(0, 6) : history_end - h.join_year + 1;
    int last = std::min<int>(history_end, h.join_year + years - 1);
    h.first_year = h.join_year;
    h.years = static_cast<std::int8_t>(std::max(0, last - h.join_year + 1));
    return h;
  }
};

template <class Body>
bool Emit(Gen& g, const std::string& rel, Body&& body) {
  if (!g.error.empty()) return false;
  std::string host = g.Host(rel);
  RecordWriter w(host, RecordWriter::Mode::kCreate);
  if (!w) {
    g.error = "cannot create " + host;
    return false;
  }
  bool ok = body(w);
  if (!w.Close() || !ok) {
    g.error = "cannot write " + host;
    return false;
  }
  g.files.push_back({rel, platform::FileSize(host)});
  return true;
}

bool EmitBytes(Gen& g, const std::string& rel, std::string_view bytes) {
  return Emit(g, rel, [&](RecordWriter& w) { return w.Raw(bytes).EndRecord(); });
}

bool Folder(Gen& g, const std::string& rel) {
  if (!g.error.empty()) return false;
  std::string host = rel.empty() ? g.root : g.Host(rel);
  if (platform::CreateFolder(host) || platform::IsFolder(host)) return true;
  g.error = "cannot create the folder " + host;
  return false;
}

std::int64_t AtLeast(std::int64_t n, std::int64_t min) { return std::max(n, min); }

// Splits `total` records over `parts` files with some jitter, every file at least one.
std::vector<std::int64_t> Split(Rng& r, std::int64_t total, int parts) {
  std::vector<std::int64_t> out(static_cast<std::size_t>(parts), 0);
  std::int64_t left = total;
  for (int k = 0; k < parts; ++k) {
    int rest = parts - k - 1;
    std::int64_t share = left / (rest + 1);
    if (rest > 0) share += r.Below(share / 2 + 1) - share / 4;
    share = std::clamp<std::int64_t>(share, 1, std::max<std::int64_t>(1, left - rest));
    if (rest == 0) share = std::max<std::int64_t>(1, left);
    out[static_cast<std::size_t>(k)] = share;
    left -= share;
  }
  return out;
}

// ---- the member table and its history --------------------------------------

std::string Marks(const Gen& g, std::int64_t i, const History& h, int year) {
  Rng r(g.opt.seed, kMarks, static_cast<std::uint64_t>(i) * 128 + static_cast<std::uint64_t>(year - 1900));
  std::string marks(12, ' ');
  if (h.monthly) {
    int missing = r.PerMille(200) ? 80 : 20;  // per mille of unpaid months
    for (int m = 1; m <= 12; ++m) {
      bool before_join = year == h.join_year && m < h.join_month;
      if (!before_join && !r.PerMille(missing)) marks[static_cast<std::size_t>(m - 1)] = '*';
    }
  } else {
    int kind = static_cast<int>(r.Below(100));
    if (kind < 85) marks.assign(12, '*');
    else if (kind < 95) marks.assign(12, ' ');
    else marks = "******" + std::string(6, ' ');
  }
  return marks;
}

std::array<std::string, 35> F10Values(const Gen& g, std::int64_t i, const History& h, Rng& r, Person& p) {
  std::array<std::string, 35> v;
  v[0] = g.Code(i);
  v[1] = p.name;
  v[2] = p.street;
  v[3] = p.complement.empty() ? p.district : p.complement + " - " + p.district;
  v[4] = p.city;
  v[5] = p.cep;
  v[6] = p.complement;
  v[7] = p.uf;
  v[8] = Date(h.join_day, h.join_month, h.join_year);
  v[9] = p.cpf;
  v[10] = p.rg;
  v[11] = Format("%06lld", static_cast<long long>(r.Below(999999)));
  v[12] = p.phone1;
  v[13] = p.phone2;
  v[14] = p.profession;
  v[15] = p.birth;
  v[16] = p.country;
  v[17] = p.birthplace;
  v[18] = p.marital;
  v[19] = p.father;
  v[20] = p.mother;
  v[21] = p.spouse;
  v[22] = p.note;
  v[23] = r.PerMille(300) ? Format("%d dependentes", r.Range(1, 5)) : "";
  v[24] = h.monthly ? "1" : "12";
  v[25] = p.email;
  v[26] = p.female ? "F" : "M";
  // Values 0-9 are the charges set up in Conf10; a few records point past them.
  v[27] = std::to_string(r.PerMille(5) ? r.Range(10, 29) : static_cast<int>(r.Below(10)));
  v[28] = h.left || r.PerMille(10) ? "1" : "0";
  v[29] = r.PerMille(250) ? RandomDate(r, h.join_year, g.opt.last_year) : "";
  v[30] = Format("%02d", r.Range(1, 5));
  v[31] = r.PerMille(500) ? "1" : "0";
  v[32] = r.PerMille(100) ? "1" : "0";
  v[33] = r.PerMille(50) ? "1" : "0";
  return v;
}

bool WriteMembers(Gen& g) {
  return Emit(g, "Zelk/Vek/F10r2.dat", [&](RecordWriter& w) {
    for (std::int64_t i = 0; i < g.opt.members; ++i) {
      Rng r(g.opt.seed, kMember, static_cast<std::uint64_t>(i));
      History h = g.MakeHistory(i);
      Person p = MakePerson(r, h.join_year);
      bool deleted = r.PerMille(20);
      if (!PutRow(w, kF10Widths, F10Values(g, i, h, r, p), deleted, Separated::kYes)) return false;
    }
    return true;
  });
}

// One file per year, a unit of 30 characters per member who paid that year:
// the 18-character key, then the twelve month marks. The files were written
// in the order payments came in, some by a version that ended every unit with
// CR LF in place of its last two marks, and now and then a member's unit was
// written twice, the later one holding the final marks.
bool WriteYearlyFiles(Gen& g, std::vector<int>* years_written) {
  const std::int64_t n = g.opt.members + g.orphans;
  std::vector<History> hist(static_cast<std::size_t>(n));
  std::vector<std::int64_t> per_year(static_cast<std::size_t>(kLastHistoryYear + 1), 0);
  for (std::int64_t i = 0; i < n; ++i) {
    History h = g.MakeHistory(i);
    hist[static_cast<std::size_t>(i)] = h;
    for (int y = h.first_year; y < h.first_year + h.years; ++y) ++per_year[static_cast<std::size_t>(y)];
  }
  Rng order(g.opt.seed, kOrder, 0);
  std::uint64_t a = static_cast<std::uint64_t>(order.Below(n)) | 1;
  while (std::gcd(a, static_cast<std::uint64_t>(n)) != 1) ++a;
  const std::uint64_t b = static_cast<std::uint64_t>(order.Below(n));
  auto member_at = [&](std::int64_t j) {
    return static_cast<std::int64_t>((a * static_cast<std::uint64_t>(j) + b) % static_cast<std::uint64_t>(n));
  };

  for (int year = kFirstHistoryYear; year <= g.history_end; ++year) {
    if (per_year[static_cast<std::size_t>(year)] == 0) continue;
    bool line_ends = Rng(g.opt.seed, kYearFile, static_cast<std::uint64_t>(year)).PerMille(150);
    auto put_unit = [&](RecordWriter& w, std::int64_t i, const std::string& marks) {
      w.Put(g.Code(i), 18);
      if (line_ends) w.Put(marks.substr(0, 10), 10).Raw("\r\n");
      else w.Put(marks, 12);
      return w.EndRecord();
    };
    auto has_unit = [&](std::int64_t i) {
      const History& h = hist[static_cast<std::size_t>(i)];
      return year >= h.first_year && year < h.first_year + h.years;
    };
    bool ok = Emit(g, Format("Zelk/Vek/REG/RM%d.DAT", year), [&](RecordWriter& w) {
      for (std::int64_t j = 0; j < n; ++j) {
        std::int64_t i = member_at(j);
        if (j + 1 < n) {
          std::int64_t next = member_at(j + 1);
          if (has_unit(next) &&
              Rng(g.opt.seed, kStale, static_cast<std::uint64_t>(next) * 128 + static_cast<std::uint64_t>(year - 1900))
                  .PerMille(10) &&
              !put_unit(w, next, std::string(12, ' ')))
            return false;
        }
        if (has_unit(i) && !put_unit(w, i, Marks(g, i, hist[static_cast<std::size_t>(i)], year))) return false;
      }
      return true;
    });
    if (!ok) return false;
    years_written->push_back(year);
  }
  return true;
}

// ---- the other tables ---------------------------------------------------------

// f13.dat (staff, "E"), f14.dat (relatives, type from the first letter of
// field 2) and f15.dat (donors, "D"): 130 bytes of fields, then the address.
bool WriteOldRelatives(Gen& g) {
  const Lists& words = Words();
  struct Table {
    const char* name;
    std::size_t length;
    std::int64_t count;
    const std::vector<std::string>* field2;
  };
  const Table tables[] = {{"Zelk/Vek/f13.dat", 478, AtLeast(g.opt.members / 25, 1), &words.roles},
                          {"Zelk/Vek/f14.dat", 479, AtLeast(g.opt.members / 8, 2), &words.relations},
                          {"Zelk/Vek/f15.dat", 538, AtLeast(g.opt.members / 25, 1), &words.donors}};
  std::uint64_t index = 0;
  for (const Table& t : tables) {
    bool ok = Emit(g, t.name, [&](RecordWriter& w) {
      for (std::int64_t k = 0; k < t.count; ++k, ++index) {
        Rng r(g.opt.seed, kRelative, index);
        Person p = MakePerson(r, 2000);
        std::int64_t holder = r.Below(g.opt.members);
        w.Put(p.name, 60).Put(r.Pick(*t.field2), 41).Put(p.birth, 11).Put(g.Code(holder), 18);
        std::string rest = p.street + " - " + p.district + " - " + p.city + "/" + p.uf + "  " + p.phone1;
        w.Put(rest, t.length - 130 - 1).Put(r.PerMille(20) ? "+" : " ", 1);
        if (!w.EndRecord()) return false;
      }
      return true;
    });
    if (!ok) return false;
  }
  return true;
}

bool WriteConfig(Gen& g) {
  const Lists& words = Words();
  Rng r(g.opt.seed, kConfig, 0);
  // Conf10.dat before 4.07: ten charge values of 19 bytes, then the five
  // due-date settings (monthly day, month shift, yearly day, yearly month,
  // year shift); the last byte is the record flag.
  static const int kCents[] = {12000, 6000, 3550, 120000, 9000, 4500, 25000, 1500, 60000, 8000};
  bool ok = Emit(g, "Zelk/Vek/Conf10.dat", [&](RecordWriter& w) {
    for (int cents : kCents) w.Put(Amount((cents + 50 * r.Range(0, 20)) / 100.0), 19);
    w.Put(std::to_string(r.Range(5, 15)), 19).Put("1", 19).Put(std::to_string(r.Range(5, 20)), 19);
    w.Put(std::to_string(r.Range(1, 4)), 19).Put("1", 18).Put(" ", 1);
    return w.EndRecord();
  });
  // Conf11.dat: the bank accounts used for collection.
  std::int64_t accounts = std::min<std::int64_t>(300, 3 + g.opt.members / 20000);
  ok = ok && Emit(g, "Zelk/Vek/Conf11.dat", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < accounts; ++k) {
      Person p = MakePerson(r, 1990);
      std::array<std::string, 19> v = {r.Pick(words.banks),
                                       Cnpj(r),
                                       p.street,
                                       p.city.substr(0, 14),
                                       p.uf,
                                       Format("%04d-%d", r.Range(1, 9999), r.Range(0, 9)),
                                       p.cep.substr(0, 5) + p.cep.substr(6, 3),
                                       "01",
                                       Landline(r, p.ddd).substr(5),
                                       Format("%03d", r.Range(1, 399)),
                                       p.name,
                                       p.email,
                                       Format("%07d-%d", r.Range(1, 9999999), r.Range(0, 9)),
                                       "17",
                                       r.Digits(11),
                                       r.PerMille(500) ? CP1252("Cobrança registrada").str() : "",
                                       Format("%d,%02d", r.Range(1, 4), r.Range(0, 99)),
                                       "SN",
                                       r.Digits(6)};
      if (!PutRow(w, kConf11Widths, v, r.PerMille(100), Separated::kNo)) return false;
    }
    return true;
  });
  // Config22.dat: forty charge descriptions; an entry blanked by the user
  // begins with spaces.
  ok = ok && Emit(g, "Zelk/Vek/Config22.dat", [&](RecordWriter& w) {
    int blank = r.Range(3, 38);
    for (int k = 0; k < 40; ++k) {
      std::string name = k == blank ? "" : r.Pick(words.charges);
      if (k == blank + 1) name = "   " + r.Pick(words.charges);
      w.Put(name, 30).Put(r.PerMille(700) ? "S" : "N", 1).Put(RandomAmount(r, 500, 30000), 15);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
  ok = ok && Emit(g, "Zelk/Vek/CONF14.DAT", [&](RecordWriter& w) {
    for (int k = 0; k < 12; ++k) {
      w.Put(Format("%02d", k + 1), 2).Put(Format("%03d", r.Range(0, 999)), 3).Put(words.charges[static_cast<std::size_t>(k)], 34);
      if (!w.Put(" ", 1).EndRecord()) return false;
    }
    return true;
  });
  // CONFIGA.DAT: the running counters of older releases, fifteen numbers.
  ok = ok && Emit(g, "Zelk/Vek/CONFIGA.DAT", [&](RecordWriter& w) {
    for (int k = 0; k < 15; ++k) {
      long long v = k == 0 ? g.opt.members + 1 : (r.PerMille(200) ? 0 : r.Range(1, 5000));
      w.Put(std::to_string(v), 11);
    }
    return w.EndRecord();
  });
  return ok;
}

// REG01: one file of receipts per year ("2009.DAT").
bool WriteReceipts(Gen& g) {
  int first = std::max(kFirstHistoryYear, g.opt.last_year - 5);
  Rng split(g.opt.seed, kReceipt, 0);
  std::vector<std::int64_t> counts = Split(split, AtLeast(g.opt.members / 2, 6), g.opt.last_year - first + 1);
  std::uint64_t index = 1;
  for (int year = first; year <= g.opt.last_year; ++year) {
    std::int64_t count = counts[static_cast<std::size_t>(year - first)];
    bool ok = Emit(g, Format("Zelk/Vek/REG01/%d.DAT", year), [&](RecordWriter& w) {
      for (std::int64_t k = 0; k < count; ++k, ++index) {
        Rng r(g.opt.seed, kReceipt, index);
        std::int64_t member = r.Below(g.opt.members);
        bool monthly = !r.PerMille(150);
        w.Put(g.Code(member), 10).Put(Format("%03d", r.Range(1, 3)), 3).Put(monthly ? "Mensal" : " Anual", 7);
        w.Put(Format("%05lld", static_cast<long long>(k + 1)), 5).Put(RandomDate(r, year, year), 14);
        w.Put(RandomAmount(r, 1500, monthly ? 25000 : 180000), 14);
        w.Put(FullName(r, r.PerMille(600), ""), 25).Put(r.PerMille(20) ? "+" : " ", 1);
        if (!w.EndRecord()) return false;
      }
      return true;
    });
    if (!ok) return false;
  }
  return true;
}

// REG02: a few large files of bank batches ("A109.DAT") and F20r2.dat.
bool WriteBatches(Gen& g) {
  const Lists& words = Words();
  int files = 2 + static_cast<int>(std::min<std::int64_t>(6, g.opt.members / 200000));
  Rng split(g.opt.seed, kBatch, 0);
  std::vector<std::int64_t> counts = Split(split, AtLeast(g.opt.members / 10, 4), files);
  std::uint64_t index = 1;
  for (int f = 0; f < files; ++f) {
    bool ok = Emit(g, Format("Zelk/Vek/REG02/A%d.DAT", 101 + f), [&](RecordWriter& w) {
      for (std::int64_t k = 0; k < counts[static_cast<std::size_t>(f)]; ++k, ++index) {
        Rng r(g.opt.seed, kBatch, index);
        int year = r.Range(std::max(kFirstHistoryYear, g.opt.last_year - 3), g.opt.last_year);
        w.Put(std::to_string(k + 1), 7).Put(RandomDate(r, year, year), 11).Put(r.PerMille(700) ? "E" : "S", 1);
        w.Put(std::to_string(r.Range(1, 5)), 2).Put(r.Pick(words.charges), 19).Put(r.Pick(words.banks), 19);
        std::string groups;
        long long total = 0;
        int used = r.Range(1, 12);
        for (int m = 0; m < 12; ++m) {
          if (m < used) {
            int first = r.Range(1000, 900000);
            int second = r.Range(0, 5000);
            total += first;
            groups += Format("%02d", m + 1) + Format("%-14s", Amount(first / 100.0).c_str()) +
                      Format("%-14s", Amount(second / 100.0).c_str());
          } else {
            groups += Format("-1%-14s%-14s", "", "");
          }
        }
        w.Put(Amount(static_cast<double>(total) / 100.0), 14).Put(Amount(0), 14);
        w.Put(r.PerMille(300) ? r.Pick(words.notes) : "", 50).Put(groups, 360).Put("", 59);
        if (!w.Put(r.PerMille(20) ? "+" : " ", 1).EndRecord()) return false;
      }
      return true;
    });
    if (!ok) return false;
  }
  return Emit(g, "Zelk/Vek/REG02/F20r2.dat", [&](RecordWriter& w) {
    std::int64_t count = 5 + g.opt.members / 5000;
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, kBatch, 1000000000ULL + static_cast<std::uint64_t>(k));
      w.Put(Format("%06lld", static_cast<long long>(k + 1)), 10).Put(r.Pick(words.banks), 40);
      w.Put(RandomAmount(r, 1000, 500000), 14).Put(RandomDate(r, g.opt.last_year - 1, g.opt.last_year), 11);
      if (!w.Put("", 124).Put(" ", 1).EndRecord()) return false;
    }
    return true;
  });
}

// F11R2.DAT: partners (shops, clinics, schools) with their bank and codes.
bool WritePartners(Gen& g) {
  const Lists& words = Words();
  return Emit(g, "Zelk/Vek/F11R2.DAT", [&](RecordWriter& w) {
    std::int64_t count = AtLeast(g.opt.members / 2, 1);
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, kPartner, static_cast<std::uint64_t>(k));
      Person p = MakePerson(r, 1995);
      std::array<std::string, 49> v;
      v[0] = Format("%06lld", static_cast<long long>(k + 1));
      v[1] = r.PerMille(500) ? p.name
                             : (r.Pick(words.businesses) + " " + p.family + (r.PerMille(500) ? " Ltda" : " ME")).substr(0, 40);
      v[2] = FullName(r, r.PerMille(500), "");
      v[3] = p.street;
      v[4] = p.district;
      v[5] = p.cep;
      v[6] = p.city;
      v[7] = p.uf;
      v[8] = RandomDate(r, 1990, g.opt.last_year);
      v[9] = r.PerMille(500) ? Cnpj(r) : Cpf(r);
      v[10] = CheckedCode13(r);
      v[11] = r.PerMille(200) ? "" : Format("%02d-%02d %02d", r.Range(0, 99), r.Range(0, 99), r.Range(0, 99));
      v[12] = p.email;
      v[13] = r.PerMille(300) ? "www." + AsciiLower(p.family) + ".com.br" : "";
      v[14] = p.phone1;
      v[15] = r.PerMille(200) ? Landline(r, p.ddd) : "";
      v[16] = RandomDate(r, 1995, g.opt.last_year);
      v[17] = r.PerMille(500) ? RandomDate(r, 1995, g.opt.last_year) : "";
      v[18] = r.PerMille(300) ? RandomDate(r, 1995, g.opt.last_year) : "";
      v[19] = r.PerMille(200) ? r.Pick(words.notes) : "";
      v[20] = CheckedCode8(r);
      v[21] = r.PerMille(400) ? "" : Format("%04d-%d", r.Range(1, 9999), r.Range(0, 9));
      for (int f = 22; f <= 28; ++f) v[static_cast<std::size_t>(f)] = r.PerMille(300) ? "" : RandomAmount(r, 0, 50000);
      for (int f = 29; f <= 32; ++f) v[static_cast<std::size_t>(f)] = std::to_string(r.Range(0, 3));
      v[33] = "";
      v[34] = r.PerMille(500) ? CP1252("Convênio ").str() + std::to_string(r.Range(1, 40)) : "";
      v[35] = r.PerMille(600) ? RandomDate(r, 2000, g.opt.last_year) : "";
      v[36] = r.PerMille(200) ? r.Pick(words.notes) : "";
      v[37] = "";
      v[38] = r.PerMille(300) ? p.street + " - " + p.district : "";
      v[39] = std::to_string(r.Range(1995, g.opt.last_year));
      for (int f = 40; f <= 47; ++f) v[static_cast<std::size_t>(f)] = "";
      // Class marks: one "1" in each group of positions (0-5, 6-11, 12-14,
      // 15-17), or none, then five free marks.
      std::string marks(23, '0');
      auto mark_one = [&](int from, int count_positions) {
        if (!r.PerMille(100)) marks[static_cast<std::size_t>(from + r.Below(count_positions))] = '1';
      };
      mark_one(0, 6);
      mark_one(6, 6);
      mark_one(12, 3);
      mark_one(15, 3);
      for (int m = 18; m < 23; ++m) marks[static_cast<std::size_t>(m)] = r.PerMille(300) ? '1' : '0';
      v[48] = marks;
      if (!PutRow(w, kF11Widths, v, r.PerMille(20), Separated::kYes)) return false;
    }
    return true;
  });
}

// Person records of other tables: F17.DAT (old layout of 896 bytes) and the
// files already in the 1000-byte layout (F27.DAT, F00R0.DAT).
std::array<std::string, 28> Person1000(Rng& r, const Person& p, const std::string& code) {
  std::array<std::string, 28> v;
  v[0] = code;
  v[1] = p.name;
  v[2] = p.street;
  v[3] = p.complement.empty() ? p.district : p.complement + " - " + p.district;
  v[4] = p.city;
  v[5] = p.cep;
  v[6] = p.complement;
  v[7] = p.uf;
  v[8] = Format("%02d", r.Range(1, 5));
  v[9] = RandomDate(r, 1995, 2010);
  v[10] = p.cpf;
  v[11] = p.rg;
  v[12] = "";
  v[13] = p.phone1;
  v[14] = p.phone2;
  v[15] = p.email;
  v[16] = p.birth;
  v[17] = "";
  v[18] = p.note;
  v[19] = p.profession;
  v[20] = p.country;
  v[21] = p.birthplace;
  v[22] = p.marital.empty() ? "" : std::string(1, "1234"[r.Below(4)]);
  v[23] = p.father;
  v[24] = p.mother;
  v[25] = p.spouse;
  v[26] = p.female ? "F" : "M";
  v[27] = "";
  return v;
}

bool WriteOtherPeople(Gen& g) {
  bool ok = Emit(g, "Zelk/Vek/F17.DAT", [&](RecordWriter& w) {
    std::int64_t count = AtLeast(g.opt.members / 20, 1);
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, kOtherPerson, static_cast<std::uint64_t>(k));
      Person p = MakePerson(r, 2000);
      History h;
      h.join_year = static_cast<std::int16_t>(r.Range(1990, g.opt.last_year));
      h.join_month = static_cast<std::int8_t>(r.Range(1, 12));
      h.join_day = static_cast<std::int8_t>(r.Range(1, 28));
      std::array<std::string, 35> f10 = F10Values(g, k, h, r, p);
      for (std::size_t f = 0; f < 27; ++f) w.Put(std::string_view(f10[f]).substr(0, kF10Widths[f] - 1), kF10Widths[f]);
      w.Put(Format("%d", r.Range(1, 9)), 3).Put(r.PerMille(200) ? p.note : "", 123).Put(" ", 1);
      if (!w.Put(r.PerMille(20) ? "+" : " ", 1).EndRecord()) return false;
    }
    return true;
  });
  ok = ok && Emit(g, "Zelk/Vek/F27.DAT", [&](RecordWriter& w) {
    std::int64_t count = AtLeast(g.opt.members / 20, 1);
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, kOtherPerson, 1000000000ULL + static_cast<std::uint64_t>(k));
      Person p = MakePerson(r, 2000);
      if (!PutRow(w, kPerson1000Widths, Person1000(r, p, Format("%06lld", static_cast<long long>(k + 1))), r.PerMille(20),
                  Separated::kNo))
        return false;
    }
    return true;
  });
  // F00R0.DAT: the club itself and its branches; their telephone lines are
  // long lists that no longer fit the shorter field.
  ok = ok && Emit(g, "Zelk/Vek/F00R0.DAT", [&](RecordWriter& w) {
    std::int64_t count = 1 + g.opt.members / 100000;
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, kOtherPerson, 2000000000ULL + static_cast<std::uint64_t>(k));
      Person p = MakePerson(r, 1980);
      p.name = k == 0 ? "Clube Recreativo " + p.family : "Sede " + p.district;
      p.phone1 = Landline(r, p.ddd) + " / " + Landline(r, p.ddd).substr(5) + " / " + Landline(r, p.ddd).substr(5);
      p.phone2 = k == 0 ? "(51) 3333-0000 fax" : Mobile(r, p.ddd);
      if (!PutRow(w, kPerson1000Widths, Person1000(r, p, Format("%02lld", static_cast<long long>(k + 1))), false,
                  Separated::kNo))
        return false;
    }
    return true;
  });
  return ok;
}

bool WriteSmallTables(Gen& g) {
  const Lists& words = Words();
  // F08R0.DAT: collectors.
  bool ok = Emit(g, "Zelk/Vek/F08R0.DAT", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < 3 + g.opt.members / 50; ++k) {
      Rng r(g.opt.seed, kSmallTable, static_cast<std::uint64_t>(k));
      Person p = MakePerson(r, 1990);
      w.Put(Format("%04lld", static_cast<long long>(k + 1)), 11).Put(p.name, 40);
      w.Put(r.PerMille(800) ? "S" : "N", 1).Put(RandomDate(r, 1995, g.opt.last_year), 10).Put(p.cpf, 18);
      w.Put(p.phone1, 219).Put(r.PerMille(20) ? "+" : " ", 1);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
  // C28R0.DAT: sectors of the club; byte 544 is the sector's open flag.
  ok = ok && Emit(g, "Zelk/Vek/C28R0.DAT", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < 3 + g.opt.members / 50; ++k) {
      Rng r(g.opt.seed, kSmallTable, 1000000000ULL + static_cast<std::uint64_t>(k));
      w.Put(Format("%04lld", static_cast<long long>(k + 1)), 11).Put(r.Pick(words.charges), 40);
      w.Put(FullName(r, r.PerMille(500), ""), 40).Put(RandomAmount(r, 1000, 100000), 14).Put("", 439);
      w.Put(r.PerMille(700) ? "S" : "N", 1).Put("", 454).Put(r.PerMille(20) ? "+" : " ", 1);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
  // F25R0.DAT: price list; most codes have three characters.
  ok = ok && Emit(g, "Zelk/Vek/F25R0.DAT", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < 5 + g.opt.members / 200; ++k) {
      Rng r(g.opt.seed, kSmallTable, 2000000000ULL + static_cast<std::uint64_t>(k));
      int kind = static_cast<int>(r.Below(100));
      std::string code = kind < 60   ? std::to_string(100 + k % 900)
                         : kind < 75 ? std::to_string(10 + k % 90)
                         : kind < 90 ? std::to_string(1000 + k)
                                     : Format("%05lld", static_cast<long long>(k + 1));
      w.Put(code, 10).Put(r.Pick(words.charges), 40).Put(RandomAmount(r, 500, 90000), 14).Put("", 492);
      if (!w.Put(r.PerMille(20) ? "+" : " ", 1).EndRecord()) return false;
    }
    return true;
  });
  // F15R0.DAT: billing agents.
  ok = ok && Emit(g, "Zelk/Vek/F15R0.DAT", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < 10 + g.opt.members / 1000; ++k) {
      Rng r(g.opt.seed, kSmallTable, 3000000000ULL + static_cast<std::uint64_t>(k));
      Person p = MakePerson(r, 1990);
      w.Put(Format("%05lld", static_cast<long long>(k + 1)), 19).Put(p.name, 40).Put(r.PerMille(500) ? "S" : "N", 1);
      w.Put(p.phone1, 20).Put(Format("%06d", r.Range(0, 999999)), 6).Put(std::to_string(r.Range(1, 3)), 1);
      w.Put(Format("%02d", r.Range(1, 12)), 2).Put(Format("%03d", r.Range(1, 999)), 3).Put(RandomAmount(r, 100, 9999), 5);
      w.Put(r.PerMille(500) ? "1" : "0", 1).Put(Format("%02d%04d", r.Range(1, 12), g.opt.last_year), 6);
      w.Put(p.email, 195).Put(r.PerMille(20) ? "+" : " ", 1);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
  return ok;
}

// F90.DAT: free-text notes of variable length, each behind a 16-byte header.
bool WriteNotes(Gen& g) {
  const Lists& words = Words();
  return Emit(g, "Zelk/Vek/F90.DAT", [&](RecordWriter& w) {
    std::int64_t count = AtLeast(g.opt.members / 10, 2);
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, kNote, static_cast<std::uint64_t>(k));
      std::size_t target = static_cast<std::size_t>(r.PerMille(150) ? r.Range(300, 900) : r.Range(15, 280));
      std::string note;
      while (note.size() < target) {
        if (!note.empty()) note += r.PerMille(50) ? "\r\n" : " ";
        note += r.Pick(words.notes);
      }
      w.Put(r.PerMille(900) ? "1" : "2", 1).Put(g.Code(r.Below(g.opt.members)), 10);
      w.Put(Format("%05lld", static_cast<long long>(note.size())), 5).Raw(note);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
}

// R08: the agenda; kind "A" is an appointment with a note, the other kinds
// are charges.
bool WriteAgenda(Gen& g) {
  const Lists& words = Words();
  Rng split(g.opt.seed, kAgenda, 0);
  std::vector<std::int64_t> counts = Split(split, AtLeast(g.opt.members / 10, 4), 2);
  std::uint64_t index = 1;
  for (int f = 0; f < 2; ++f) {
    int year = g.opt.last_year - 1 + f;
    bool ok = Emit(g, Format("Zelk/Vek/R08/AG%d.DAT", year), [&](RecordWriter& w) {
      for (std::int64_t k = 0; k < counts[static_cast<std::size_t>(f)]; ++k, ++index) {
        Rng r(g.opt.seed, kAgenda, index);
        bool appointment = r.PerMille(600);
        w.Put(appointment ? "A" : std::string(1, "BCR"[r.Below(3)]), 1).Put(g.Code(r.Below(g.opt.members)), 10);
        w.Put(Format("%08lld", static_cast<long long>(k + 1)), 10).Put(RandomDate(r, year, year), 10);
        w.Put(Format("%02d:%02d", r.Range(8, 20), r.Range(0, 3) * 15), 10);
        if (appointment) {
          int days = static_cast<int>(r.Below(10));
          w.Put(days == 0 ? "" : Format("%02d", days), 2).Put("", 1).Put(r.Pick(words.notes), 40).Put("", 75);
        } else {
          w.Put(r.Pick(words.charges), 16).Put(RandomAmount(r, 500, 99999), 7).Put(Format("%02d", r.Range(1, 12)), 2);
          w.Put(r.Pick(words.banks), 20).Put(Format("%05d", r.Range(1, 99999)), 5).Put("", 68);
        }
        if (!w.Put(r.PerMille(20) ? "+" : " ", 1).EndRecord()) return false;
      }
      return true;
    });
    if (!ok) return false;
  }
  return true;
}

// Tiny but well-formed image files.
constexpr char kGifBytes[] =
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00\x21\xF9\x04\x01\x00\x00\x00\x00"
    "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B";
constexpr char kJpegBytes[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";
constexpr std::string_view kGif(kGifBytes, sizeof kGifBytes - 1);
constexpr std::string_view kJpeg(kJpegBytes, sizeof kJpegBytes - 1);

// F26R0.DAT lists the members with photos; the photos themselves lie in
// ..\Fotos\Vek\540 as {code}-540 (front) and {code}-545 (back).
bool WritePhotos(Gen& g) {
  std::int64_t count = AtLeast(g.opt.members / 10, 1);
  std::int64_t stride = std::max<std::int64_t>(1, g.opt.members / count);
  std::vector<std::string> with_files;
  bool ok = Emit(g, "Zelk/Vek/F26R0.DAT", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < count; ++k) {
      Rng r(g.opt.seed, kPhoto, static_cast<std::uint64_t>(k));
      std::int64_t member = std::min(g.opt.members - 1, k * stride + r.Below(stride));
      std::string code = g.Code(member);
      if (with_files.size() < 12) with_files.push_back(code);
      w.Put(code, 9).Put(RandomDate(r, 2000, g.opt.last_year), 10).Put(r.PerMille(500) ? "540" : "545", 980);
      if (!w.Put(r.PerMille(20) ? "+" : " ", 1).EndRecord()) return false;
    }
    return true;
  });
  for (std::size_t k = 0; ok && k < with_files.size(); ++k) {
    const std::string& code = with_files[k];
    ok = EmitBytes(g, "Zelk/Fotos/Vek/540/" + code + (k % 4 == 1 ? "-540.jpeg" : "-540.jpg"), kJpeg);
    if (ok && k % 2 == 0) ok = EmitBytes(g, "Zelk/Fotos/Vek/540/" + code + "-545.gif", kGif);
  }
  if (ok && !with_files.empty()) ok = EmitBytes(g, "Zelk/Fotos/Vek/1/" + with_files[0] + ".jpg", kJpeg);
  ok = ok && EmitBytes(g, "Zelk/Fotos/Vek/3/logo.gif", kGif);
  return ok;
}

bool WriteLeftovers(Gen& g, const std::vector<int>& years_written) {
  Rng r(g.opt.seed, kLegacy, 0);
  // C04.DAT of the size that C04B.DAT replaces.
  bool ok = Emit(g, "Zelk/Vek/C04.DAT", [&](RecordWriter& w) {
    return w.Put(CP1252("Recibo padrão - modelo 1"), 832).Put(" ", 1).EndRecord();
  });
  ok = ok && Emit(g, "Zelk/Vek/C04B.DAT", [&](RecordWriter& w) {
    return w.Put(CP1252("Recibo padrão - modelo 2"), 999).Put(" ", 1).EndRecord();
  });
  // R01: older note files, beside the R33 folder of the current release.
  ok = ok && Emit(g, "Zelk/Vek/R01/NOTAS.DAT", [&](RecordWriter& w) {
    for (int k = 0; k < 3; ++k) {
      if (!w.Put(g.Code(r.Below(g.opt.members)), 20).Put(Words().notes[static_cast<std::size_t>(k)], 239).Put(" ", 1).EndRecord())
        return false;
    }
    return true;
  });
  ok = ok && EmitBytes(g, "Zelk/Vek/R01/LEIAME.TXT", "Notas antigas\r\n");
  ok = ok && EmitBytes(g, "Zelk/Vek/Temp/IMP0001.DAT", std::string(120, ' '));
  // Files of older releases that the cleanup deletes.
  static const char* const kObsolete[] = {"config4.dat", "config7.dat", "CONF0.SAT", "Acc001.dat", "d03.den",
                                          "d21b.den",    "F16.dat",     "vek.txt",   "glb02.hlp",    "glb01g.txt",
                                          "glbprod.exe", "Glb01.hlp",   "Glb01.gid"};
  for (const char* name : kObsolete) {
    if (!ok) break;
    ok = EmitBytes(g, std::string("Zelk/Vek/") + name, std::string(static_cast<std::size_t>(r.Range(40, 400)), 'x'));
  }

  // The legacy folder: files that the data folder has too (older copies,
  // which must not replace the current ones), one that only it has, and the
  // yearly file of 1960 with the oldest history.
  std::string conf10(285, ' ');
  conf10.replace(0, 6, "100,00");
  conf10.replace(190, 2, "10");
  ok = ok && EmitBytes(g, "Glebrium/Conf10.dat", conf10);
  ok = ok && EmitBytes(g, "Glebrium/CONF14.DAT", std::string("01   ") + std::string(34, '-') + " ");
  ok = ok && EmitBytes(g, "Glebrium/F23.DAT", std::string(200, ' '));
  ok = ok && EmitBytes(g, "Glebrium/LEIAME.TXT", CP1252("Dados da versão antiga\r\n"));
  ok = ok && Emit(g, "Glebrium/REG/RM1960.DAT", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < 3; ++k) {
      w.Put(g.Code(g.opt.members + g.orphans + k), 18).Put("************", 12);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
  if (ok && !years_written.empty()) {
    ok = Emit(g, Format("Glebrium/REG/RM%d.DAT", years_written.front()), [&](RecordWriter& w) {
      return w.Put(g.Code(0), 18).Put(std::string(12, ' '), 12).EndRecord();
    });
  }
  return ok;
}

bool DataFolderHasEntries(const std::string& host) {
  for (const platform::FindEntry& e : platform::FindFiles(host + "/*")) {
    if (e.name != "." && e.name != "..") return true;
  }
  return false;
}

}  // namespace

bool MakeSampleInstallation(const std::string& root_host_folder, const SampleOptions& options, std::string* error,
                            std::vector<SampleFile>* written) {
  Gen g;
  g.opt = options;
  g.root = root_host_folder;
  while (g.root.size() > 1 && (g.root.back() == '/' || g.root.back() == '\\')) g.root.pop_back();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (g.root.empty()) return fail("no folder given");
  if (options.members < 1 || options.members > 50000000) return fail("the member count must be from 1 to 50000000");
  if (options.last_year < kFirstHistoryYear + 1 || options.last_year > 2100)
    return fail(Format("the last year must be from %d to 2100", kFirstHistoryYear + 1));
  g.history_end = std::min(kLastHistoryYear, options.last_year);
  g.orphans = options.members / 200;
  // Codes are zero-padded to one width; the photo table keeps nine characters.
  g.code_width = std::max(5, static_cast<int>(std::to_string(options.members + g.orphans + 3).size()));

  if (!Folder(g, "")) return fail(g.error);
  if (platform::IsFolder(g.Host("Zelk/Vek")) && DataFolderHasEntries(g.Host("Zelk/Vek")))
    return fail("the data folder " + g.Host("Zelk/Vek") + " is not empty");
  for (const char* folder : {"Zelk", "Zelk/Vek", "Zelk/Vek/REG", "Zelk/Vek/REG01", "Zelk/Vek/REG02", "Zelk/Vek/R08",
                             "Zelk/Vek/R01", "Zelk/Vek/R33", "Zelk/Vek/Temp", "Zelk/Fotos", "Zelk/Fotos/Vek",
                             "Zelk/Fotos/Vek/1", "Zelk/Fotos/Vek/2", "Zelk/Fotos/Vek/3", "Zelk/Fotos/Vek/540", "Glebrium",
                             "Glebrium/REG"}) {
    if (!Folder(g, folder)) return fail(g.error);
  }

  std::vector<int> years;
  bool ok = WriteMembers(g) && WriteYearlyFiles(g, &years) && WriteOldRelatives(g) && WriteConfig(g) &&
            WriteReceipts(g) && WriteBatches(g) && WritePartners(g) && WriteOtherPeople(g) && WriteSmallTables(g) &&
            WriteNotes(g) && WriteAgenda(g) && WritePhotos(g) && WriteLeftovers(g, years);
  if (written) *written = g.files;
  if (!ok) return fail(g.error.empty() ? "cannot write the installation" : g.error);
  return true;
}

}  // namespace sample
