// What must hold before the first step changes anything. An installation
// that fails one of these checks is not converted at all: converting it
// would give wrong files without a word (a twin taken for the table, a file
// the product cannot open), and the technician can put it right first.
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "steps/conv_log.h"
#include "steps/steps.h"
#include "store/changes.h"
#include "store/open.h"
#include "text/cp1252.h"
#include "text/fields.h"
#include "text/numbers.h"

namespace steps {

namespace {

// Deeper than any folder of an installation: a link that leads back up
// does not hold the walk.
constexpr int kDeepestFolder = 8;

std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(text::FoldCase(static_cast<unsigned char>(c)));
  return out;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder == "." ? name : folder + "\\" + name;
}

struct Findings {
  std::vector<std::string> twins;  // "a e b"
  std::vector<std::string> large;  // "name (size bytes)"
};

bool IsDataFile(const platform::FindEntry& e) {
  return !(e.attributes & platform::kAttrFolder) && platform::WildcardMatch("*.DAT", e.name);
}

void NoteLarge(const std::string& name, const platform::FindEntry& e, Findings& f) {
  if (IsDataFile(e) && e.size > store::kHardSizeLimit) {
    f.large.push_back(name + " (" + text::FormatNumber(static_cast<double>(e.size), 0) + " bytes)");
  }
}

void Walk(const std::string& folder, int depth, Findings& f) {
  std::map<std::string, std::string> seen;  // folded name -> name
  for (const platform::FindEntry& e : store::FindFiles(Join(folder, "*"))) {
    if (e.name == "." || e.name == ".." || (folder == "." && store::IsOwnName(e.name))) continue;
    const std::string name = Join(folder, e.name);
    auto [at, fresh] = seen.emplace(Folded(e.name), name);
    if (!fresh) f.twins.push_back(at->second + " e " + name);
    NoteLarge(name, e, f);
    if ((e.attributes & platform::kAttrFolder) && depth < kDeepestFolder) Walk(name, depth + 1, f);
  }
}

std::string List(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& i : items) out += "\n  " + i;
  return out;
}

}  // namespace

std::optional<std::string> CheckBeforeConverting() {
  const std::string unchanged = CP1252("\nNenhum arquivo foi alterado.").str();
  platform::ClearLastError();
  if (!platform::FolderUsable(".")) {
    return CP1252("A pasta de dados ").str() + platform::CurrentFolder() +
           CP1252(" não pode ser lida e gravada por este usuário (").str() + platform::LastError().text +
           CP1252("). Dê a ele permissão de leitura e gravação na pasta e execute a conversão novamente.").str() +
           unchanged;
  }
  Findings f;
  Walk(".", 0, f);
  // What the legacy folder import would read.
  if (!ConvDone("559")) {
    for (const platform::FindEntry& e : store::FindFiles("C:\\Glebrium\\*")) {
      if (e.name == "." || e.name == "..") continue;
      const std::string name = "C:\\Glebrium\\" + e.name;
      NoteLarge(name, e, f);
      if (e.attributes & platform::kAttrFolder) {
        for (const platform::FindEntry& inner : store::FindFiles(name + "\\*.DAT")) NoteLarge(name + "\\" + inner.name, inner, f);
      }
    }
  }
  if (!f.twins.empty()) {
    return CP1252("Há na pasta de dados nomes que só diferem em maiúsculas e minúsculas, o que o Windows não "
                  "admite e que a conversão tomaria um pelo outro:")
               .str() +
           List(f.twins) + CP1252("\nDeixe só um de cada nome e execute a conversão novamente.").str() + unchanged;
  }
  if (!f.large.empty()) {
    return CP1252("Estes arquivos passam do limite de 2 GB de um arquivo de dados:").str() + List(f.large) +
           CP1252("\nAvise o suporte técnico.").str() + unchanged;
  }
  return std::nullopt;
}

}  // namespace steps
