#include "store/changes.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <utility>

#include "platform/ui.h"
#include "text/cp1252.h"
#include "text/fields.h"

namespace store {

namespace {

constexpr char kJournalDraft[] = "VEKCONV.JN~";
constexpr char kJournalHeader[] = "VEKCONV JOURNAL 1";
constexpr char kJournalEnd[] = "END";
constexpr std::string_view kCopyMark = ".vekcopy-";

bool IsSep(char c) { return c == '\\' || c == '/'; }

std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(text::FoldCase(static_cast<unsigned char>(c)));
  return out;
}

// A host path as its names, with "." and ".." worked out.
struct HostName {
  std::string root;  // "/" on POSIX; "C:" or "\\server\share" on Windows
  std::vector<std::string> parts;
};

HostName SplitHost(std::string_view host) {
  HostName h;
  if (host.substr(0, 4) == "\\\\?\\") {
    host.remove_prefix(4);
    if (Folded(host.substr(0, 4)) == "unc\\") {
      h.root = "\\\\";
      host.remove_prefix(4);
    }
  }
  if (host.size() >= 2 && host[1] == ':') {
    h.root = std::string(host.substr(0, 2));
    host.remove_prefix(2);
  } else if (host.size() >= 2 && IsSep(host[0]) && IsSep(host[1])) {
    h.root = "\\\\";
  } else if (!host.empty() && IsSep(host[0])) {
    h.root = "/";
  }
  for (std::size_t i = 0; i < host.size();) {
    std::size_t j = i;
    while (j < host.size() && !IsSep(host[j])) ++j;
    std::string_view part = host.substr(i, j - i);
    if (part == "..") {
      if (!h.parts.empty()) h.parts.pop_back();
    } else if (!part.empty() && part != ".") {
      h.parts.emplace_back(part);
    }
    i = j + 1;
  }
  return h;
}

// The key of the path made of the first n names: names compare without regard
// to case, as on Windows.
std::string KeyOf(const HostName& h, std::size_t n) {
  std::string key = Folded(h.root);
  for (std::size_t i = 0; i < n && i < h.parts.size(); ++i) {
    key += '/';
    key += Folded(h.parts[i]);
  }
  return key;
}
std::string KeyOf(const HostName& h) { return KeyOf(h, h.parts.size()); }

std::size_t Depth(std::string_view key) { return static_cast<std::size_t>(std::count(key.begin(), key.end(), '/')); }

bool Under(std::string_view key, std::string_view folder) {
  return key.size() > folder.size() && key.compare(0, folder.size(), folder) == 0 && key[folder.size()] == '/';
}

std::string LastName(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsSep(text[end - 1])) --end;
  std::size_t start = end;
  while (start > 0 && !IsSep(text[start - 1])) --start;
  return std::string(text.substr(start, end - start));
}

// The folder of a path as the program names it ("." for a plain name).
std::string ParentText(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsSep(text[end - 1])) --end;
  while (end > 0 && !IsSep(text[end - 1])) --end;
  if (end == 0) return ".";
  std::string parent(text.substr(0, end));
  if (parent.size() > 1 && IsSep(parent.back()) && !(parent.size() == 3 && parent[1] == ':')) parent.pop_back();
  return parent;
}

std::string Join(std::string_view folder, std::string_view name) {
  std::string out(folder);
  if (!out.empty() && !IsSep(out.back())) out += '\\';
  out += name;
  return out;
}

// Checks a platform call: a refusal is its answer, a failure of the system
// stops the conversion.
template <typename Result>
Result Checked(FileError::Action action, std::string_view name, Result result, bool failed) {
  if (failed && platform::IsRealError(platform::LastError())) Fail(action, name);
  return result;
}

bool CheckedBool(FileError::Action action, std::string_view name, bool ok) { return Checked(action, name, ok, !ok); }

platform::SystemError Refusal(platform::ErrorKind kind, std::string text) {
  platform::SystemError e;
  e.kind = kind;
  e.text = std::move(text);
  return e;
}

const char* ActionWord(FileError::Action a) {
  switch (a) {
    case FileError::Action::kOpen: return "open";
    case FileError::Action::kRead: return "read";
    case FileError::Action::kWrite: return "write";
    case FileError::Action::kCreate: return "create";
    case FileError::Action::kReplace: return "replace";
    case FileError::Action::kRename: return "rename";
    case FileError::Action::kDelete: return "delete";
    case FileError::Action::kFolder: return "create or remove the folder";
    case FileError::Action::kSync: return "flush to disk";
    case FileError::Action::kJournal: return "complete the journal";
  }
  return "";
}

// Names of the staging folder: staged files and entries moved aside.
std::string StagingName(char kind) {
  static unsigned counter = 0;
  char name[16];
  std::snprintf(name, sizeof name, "%c%07u", kind, ++counter);
  return std::string(kStagingFolder) + "\\" + name;
}

void EnsureStagingFolder() {
  platform::ClearLastError();
  if (platform::IsFolder(kStagingFolder)) return;
  if (!platform::CreateFolder(kStagingFolder) && !platform::IsFolder(kStagingFolder)) {
    Fail(FileError::Action::kFolder, kStagingFolder);
  }
}

// Journal lines hold names between tabs: the few bytes that would break a
// line are escaped.
std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '%' || c == '\t' || c == '\n' || c == '\r') {
      char code[4];
      std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// One line of the journal.
struct Op {
  char what;  // A aside, M make folder, P put in place, R read-only, D delete
  std::string from;
  std::string to;  // A, P: the target; R: "0" or "1"
};

std::string OpLine(const Op& op) {
  std::string line(1, op.what);
  line += ' ';
  line += Escape(op.from);
  if (op.what == 'A' || op.what == 'P' || op.what == 'R') {
    line += '\t';
    line += Escape(op.to);
  }
  return line;
}

std::optional<Op> ParseOp(std::string_view line) {
  if (line.size() < 3 || line[1] != ' ') return std::nullopt;
  Op op;
  op.what = line[0];
  std::string_view rest = line.substr(2);
  if (op.what == 'A' || op.what == 'P' || op.what == 'R') {
    const std::size_t tab = rest.find('\t');
    if (tab == std::string_view::npos) return std::nullopt;
    op.from = Unescape(rest.substr(0, tab));
    op.to = Unescape(rest.substr(tab + 1));
  } else if (op.what == 'M' || op.what == 'D') {
    op.from = Unescape(rest);
  } else {
    return std::nullopt;
  }
  return op;
}

void WriteWhole(std::string_view path, std::string_view bytes) {
  platform::ClearLastError();
  platform::Stream out = platform::Stream::Open(path, "wb");
  if (!out) Fail(FileError::Action::kCreate, path);
  if (!out.Write(bytes)) Fail(FileError::Action::kWrite, path, out.error());
  if (!out.Close()) Fail(FileError::Action::kWrite, path, out.error());
  if (!platform::SyncFile(path)) Fail(FileError::Action::kSync, path);
}

void SyncFolderOf(std::string_view folder) {
  platform::ClearLastError();
  if (!platform::SyncFolder(folder)) Fail(FileError::Action::kSync, folder);
}

// Notes the end of a phase in the journal, on the disk.
void MarkDone(int phase) {
  platform::ClearLastError();
  platform::Stream out = platform::Stream::Open(kJournal, "ab");
  if (!out) Fail(FileError::Action::kJournal, kJournal);
  const std::string line = "DONE " + std::to_string(phase) + "\n";
  if (!out.Write(line) || !out.Close()) Fail(FileError::Action::kJournal, kJournal, out.error());
  if (!platform::SyncFile(kJournal)) Fail(FileError::Action::kSync, kJournal);
}

void RemoveEntry(std::string_view path) {
  platform::ClearLastError();
  if (platform::IsFolder(path)) {
    if (!platform::RemoveFolder(path)) Fail(FileError::Action::kFolder, path);
    return;
  }
  if (!platform::Exists(path)) return;
  if (platform::IsReadOnly(path)) platform::SetReadOnly(path, false);
  if (!platform::DeleteFile(path)) Fail(FileError::Action::kDelete, path);
}

// Makes what the journal lists, from the first phase not yet done. Every step
// of it checks what is there first, so that it can be made again.
void Apply(const std::vector<Op>& ops, int done) {
  std::set<std::string> folders;  // folders whose entries changed, to be synced
  auto note_folder = [&folders](const std::string& path) { folders.insert(ParentText(path)); };
  auto sync_folders = [&folders] {
    folders.insert(kStagingFolder);
    for (const std::string& f : folders) {
      platform::ClearLastError();
      if (platform::IsFolder(f)) SyncFolderOf(f);
    }
    folders.clear();
  };

  if (done < 1) {
    for (const Op& op : ops) {
      if (op.what != 'A') continue;
      platform::ClearLastError();
      if (platform::Exists(op.to)) continue;  // moved aside already
      if (!platform::MoveFile(op.from, op.to)) {
        if (!platform::IsRealError(platform::LastError())) {
          Fail(FileError::Action::kRename, op.from,
               Refusal(platform::ErrorKind::kOther, "the entry to move aside is not there"));
        }
        Fail(FileError::Action::kRename, op.from);
      }
      note_folder(op.from);
    }
    sync_folders();
    MarkDone(1);
  }
  if (done < 2) {
    for (const Op& op : ops) {
      platform::ClearLastError();
      if (op.what == 'M') {
        if (!platform::IsFolder(op.from) && !platform::CreateFolder(op.from)) Fail(FileError::Action::kFolder, op.from);
        note_folder(op.from);
      } else if (op.what == 'P') {
        if (!platform::Exists(op.from)) continue;  // in its place already
        const bool ok = platform::IsFolder(op.from) ? platform::MoveFile(op.from, op.to)
                                                    : platform::ReplaceFile(op.from, op.to);
        if (!ok) Fail(FileError::Action::kRename, op.to);
        note_folder(op.to);
      } else if (op.what == 'R') {
        const bool read_only = op.to == "1";
        if (platform::Exists(op.from) && platform::IsReadOnly(op.from) != read_only &&
            !platform::SetReadOnly(op.from, read_only)) {
          Fail(FileError::Action::kWrite, op.from);
        }
      }
    }
    sync_folders();
    MarkDone(2);
  }
  for (const Op& op : ops) {
    if (op.what == 'D') RemoveEntry(op.from);
  }
}

// Removes everything of the staging folder and the folder itself.
void ClearStaging() {
  platform::ClearLastError();
  if (!platform::IsFolder(kStagingFolder)) return;
  for (const platform::FindEntry& e : platform::FindFiles(std::string(kStagingFolder) + "\\*")) {
    if (e.name == "." || e.name == "..") continue;
    RemoveEntry(Join(kStagingFolder, e.name));
  }
  platform::ClearLastError();
  if (!platform::RemoveFolder(kStagingFolder)) Fail(FileError::Action::kFolder, kStagingFolder);
}

}  // namespace

// ---- errors ----------------------------------------------------------------

FileError::FileError(Action action, std::string name, platform::SystemError error)
    : action_(action), name_(std::move(name)), error_(std::move(error)) {
  what_ = std::string("cannot ") + ActionWord(action_) + " " + name_ + ": " + error_.text;
}

void Fail(FileError::Action action, std::string_view name) { Fail(action, name, platform::LastError()); }

void Fail(FileError::Action action, std::string_view name, const platform::SystemError& error) {
  platform::SystemError e = error;
  if (e.kind == platform::ErrorKind::kNone) e = Refusal(platform::ErrorKind::kOther, "unknown error");
  throw FileError(action, std::string(name), std::move(e));
}

void Warn(std::string text) { platform::ActiveUi().Warn(std::move(text)); }

namespace {

// The name as it stands in the data folder (its own spelling, relative to the
// folder), so that a file read under two spellings is told once.
std::string ShownName(std::string_view name) {
  const std::optional<std::string> host = platform::HostPath(name);
  const std::optional<std::string> here = platform::HostPath(".");
  if (!host || !here) return std::string(name);
  const HostName h = SplitHost(*host);
  const HostName d = SplitHost(*here);
  if (h.parts.size() <= d.parts.size() || KeyOf(h, d.parts.size()) != KeyOf(d)) return std::string(name);
  std::string shown;
  for (std::size_t i = d.parts.size(); i < h.parts.size(); ++i) shown += (shown.empty() ? "" : "\\") + h.parts[i];
  return shown;
}

void WarnFolder(std::string_view name) {
  Warn(ShownName(name) + CP1252(": é uma pasta onde devia haver um arquivo de dados; ficou de lado.").str());
}

void WarnPassedOver(std::string_view name) {
  Warn(ShownName(name) + CP1252(": não é um arquivo de dados (é um pipe, um dispositivo ou um atalho para nada); "
                                  "ficou de lado.")
                               .str());
}

}  // namespace

bool IsOwnName(std::string_view name) {
  return name.size() >= 8 && Folded(name.substr(0, 8)) == "vekconv.";
}

// ---- the change set ----------------------------------------------------------

// An entry as the step will leave it, by the key of its place.
struct ChangeSet::Node {
  enum Kind { kGone, kFile, kFolder };
  Kind kind = kGone;
  std::string text;     // its place, as the journal names it
  std::string content;  // where it is now: a staged file or a real entry; empty for a new folder
  std::string origin;   // the key of the real entry that it is ("" for staged files and new folders)
  bool staged = false;
  std::optional<bool> read_only;
};

// A name as the step sees it.
struct ChangeSet::View {
  Node::Kind kind = Node::kGone;
  std::string key;
  std::string text;     // as the journal names the place
  std::string content;  // where to read it (a program path)
  std::string origin;   // key of the real entry ("" staged or new)
  bool staged = false;
  bool new_folder = false;
  std::optional<bool> read_only;
};

struct ChangeSet::Impl {
  HostName data;          // the data folder, where the conversion runs
  std::string data_key;
  std::map<std::string, Node> nodes;
  // Real entries that will not stay where they are (moved, replaced or
  // deleted): their key and their program path.
  std::map<std::string, std::string> affected;
  bool journal_written = false;
  bool committed = false;
  bool probe = false;
  bool probe_hit = false;

  // A probe stops at the first change.
  void Change(std::string_view name) {
    if (!probe) return;
    probe_hit = true;
    throw WouldChange(std::string(name));
  }
  std::optional<FileError> failure;  // noted where it could not be thrown

  // The place of the host path, as the journal names it: inside the data
  // folder relative to it, elsewhere as the program gave it.
  std::string TextOf(std::string_view given, const HostName& h) const {
    if (h.parts.size() > data.parts.size() && Folded(h.root) == Folded(data.root) &&
        KeyOf(h, data.parts.size()) == data_key) {
      std::string rel;
      for (std::size_t i = data.parts.size(); i < h.parts.size(); ++i) {
        if (!rel.empty()) rel += '\\';
        rel += h.parts[i];
      }
      return rel;
    }
    return std::string(given);
  }

  View FromNode(View v, const Node& n) const {
    v.kind = n.kind;
    v.content = n.content;
    v.origin = n.origin;
    v.staged = n.staged;
    v.new_folder = n.kind == Node::kFolder && n.content.empty();
    v.read_only = n.read_only;
    return v;
  }

  View Real(View v, const std::string& content) const {
    platform::ClearLastError();
    const std::optional<unsigned> a = platform::Attributes(content);
    if (!a) {
      if (platform::IsRealError(platform::LastError())) Fail(FileError::Action::kOpen, content);
      return v;
    }
    v.kind = (*a & platform::kAttrFolder) ? Node::kFolder : Node::kFile;
    v.content = content;
    if (std::optional<std::string> host = platform::HostPath(content)) v.origin = KeyOf(SplitHost(*host));
    return v;
  }

  View Look(std::string_view name) const {
    View v;
    std::optional<std::string> host = platform::HostPath(name);
    if (!host) return v;
    const HostName h = SplitHost(*host);
    v.key = KeyOf(h);
    v.text = TextOf(name, h);
    if (auto it = nodes.find(v.key); it != nodes.end()) return FromNode(v, it->second);
    for (std::size_t n = h.parts.size(); n-- > 0;) {
      auto it = nodes.find(KeyOf(h, n));
      if (it == nodes.end()) continue;
      const Node& folder = it->second;
      // Below a file, a gone entry or a new folder only its own nodes exist.
      if (folder.kind != Node::kFolder || folder.content.empty() || folder.staged) return v;
      std::string content = folder.content;
      for (std::size_t i = n; i < h.parts.size(); ++i) content = Join(content, h.parts[i]);
      return Real(v, content);
    }
    return Real(v, std::string(name));
  }

  // The nodes directly inside the folder with this key.
  std::vector<const Node*> Children(const std::string& key) const {
    std::vector<const Node*> out;
    const std::string from = key + "/";
    for (auto it = nodes.lower_bound(from); it != nodes.end() && it->first.compare(0, from.size(), from) == 0; ++it) {
      if (it->first.find('/', from.size()) == std::string::npos) out.push_back(&it->second);
    }
    return out;
  }

  std::vector<platform::FindEntry> Find(std::string_view pattern) const {
    std::size_t cut = pattern.size();
    while (cut > 0 && !IsSep(pattern[cut - 1])) --cut;
    const std::string folder_text = cut == 0 ? std::string(".") : std::string(pattern.substr(0, cut));
    const std::string_view pat = pattern.substr(cut);
    std::vector<platform::FindEntry> out;
    if (pat.empty()) return out;
    const View folder = Look(folder_text);
    if (folder.kind != Node::kFolder) return out;

    std::set<std::string> seen;
    if (!folder.new_folder) {
      platform::ClearLastError();
      std::vector<platform::FindEntry> real = platform::FindFiles(Join(folder.content, pat));
      if (real.empty() && platform::IsRealError(platform::LastError())) Fail(FileError::Action::kRead, folder_text);
      for (platform::FindEntry& e : real) {
        if (e.name != "." && e.name != "..") {
          const std::string key = folder.key + "/" + Folded(e.name);
          seen.insert(key);
          if (auto it = nodes.find(key); it != nodes.end()) {
            if (it->second.kind == Node::kGone) continue;
            e = EntryOf(it->second);
          }
        }
        out.push_back(std::move(e));
      }
    }
    auto add_node = [&](const Node& n) {
      const std::string name = LastName(n.text);
      if (n.kind == Node::kGone || seen.count(folder.key + "/" + Folded(name)) || !platform::WildcardMatch(pat, name)) {
        return;
      }
      out.push_back(EntryOf(n));
    };
    if (pat.find_first_of("*?") == std::string_view::npos) {
      // One name (a photo looked for by its extensions): no walk of the folder.
      if (auto it = nodes.find(folder.key + "/" + Folded(pat)); it != nodes.end()) add_node(it->second);
    } else {
      for (const Node* n : Children(folder.key)) add_node(*n);
    }
    if (folder.key == data_key) {
      std::erase_if(out, [](const platform::FindEntry& e) { return IsOwnName(e.name); });
    }
    std::sort(out.begin(), out.end(), [](const platform::FindEntry& a, const platform::FindEntry& b) {
      const std::string fa = Folded(a.name);
      const std::string fb = Folded(b.name);
      return fa != fb ? fa < fb : a.name < b.name;
    });
    return out;
  }

  platform::FindEntry EntryOf(const Node& n) const {
    platform::FindEntry e;
    e.name = LastName(n.text);
    if (n.kind == Node::kFolder) {
      e.attributes = platform::kAttrFolder;
    } else {
      e.size = platform::FileSize(n.content);
      e.attributes = platform::Attributes(n.content).value_or(platform::kAttrArchive);
    }
    if (n.read_only) {
      e.attributes = *n.read_only ? (e.attributes | platform::kAttrReadOnly) : (e.attributes & ~platform::kAttrReadOnly);
    }
    e.attributes &= ~static_cast<unsigned>(platform::kAttrHidden);
    if (!e.name.empty() && e.name[0] == '.') e.attributes |= platform::kAttrHidden;
    return e;
  }

  bool ParentIsFolder(std::string_view name) const { return Look(ParentText(name)).kind == Node::kFolder; }

  // Notes that the real entry seen will not stay where it is; true when
  // that is new.
  bool Affect(const View& v) {
    if (v.staged || v.new_folder || v.origin.empty()) return false;
    return affected.emplace(v.origin, v.content).second;
  }

  void Gone(const View& v) {
    Node gone;
    gone.text = v.text;
    nodes[v.key] = std::move(gone);
  }

  // The staged file is the content of the name from now on. Returns the real
  // entry that this puts out of its place for the first time ("" none).
  std::string Put(std::string_view name, const std::string& staged) {
    const View v = Look(name);
    if (v.kind == Node::kFolder) {
      Fail(FileError::Action::kCreate, name, Refusal(platform::ErrorKind::kOther, "a folder has that name"));
    }
    if (v.kind == Node::kGone && !ParentIsFolder(name)) {
      Fail(FileError::Action::kCreate, name, Refusal(platform::ErrorKind::kMissing, "its folder does not exist"));
    }
    if (v.staged && v.content != staged) RemoveEntry(v.content);
    const std::string put_out = Affect(v) ? v.origin : std::string();
    Node n;
    n.kind = Node::kFile;
    n.text = v.text;
    n.content = staged;
    n.staged = true;
    nodes[v.key] = std::move(n);
    return put_out;
  }

  bool SetReadOnly(std::string_view name, bool read_only) {
    const View v = Look(name);
    if (v.kind == Node::kGone) return false;
    // A probe notes the attribute as a conversion would set it: that alone
    // changes no data.
    if (v.staged) {
      return CheckedBool(FileError::Action::kWrite, name, platform::SetReadOnly(v.content, read_only));
    }
    auto it = nodes.find(v.key);
    if (it == nodes.end()) {
      Node n;
      n.kind = v.kind;
      n.text = v.text;
      n.content = v.content;
      n.origin = v.origin;
      it = nodes.emplace(v.key, std::move(n)).first;
      if (v.origin != v.key) Affect(v);
    }
    it->second.read_only = read_only;
    return true;
  }

  bool IsReadOnly(std::string_view name) const {
    const View v = Look(name);
    if (v.kind == Node::kGone) return false;
    if (v.read_only) return *v.read_only;
    if (v.new_folder) return false;
    return platform::IsReadOnly(v.content);
  }

  bool CreateFolder(std::string_view name) {
    const View v = Look(name);
    if (v.kind != Node::kGone || v.key.empty() || !ParentIsFolder(name)) return false;
    Change(name);
    Node n;
    n.kind = Node::kFolder;
    n.text = v.text;
    nodes[v.key] = std::move(n);
    return true;
  }

  bool RemoveFolder(std::string_view name) {
    const View v = Look(name);
    if (v.kind != Node::kFolder) return false;
    for (const platform::FindEntry& e : Find(Join(name, "*"))) {
      if (e.name != "." && e.name != "..") return false;
    }
    Change(name);
    Affect(v);
    Gone(v);
    return true;
  }

  bool DeleteFile(std::string_view name) {
    const View v = Look(name);
    if (v.kind != Node::kFile || IsReadOnly(name)) return false;
    Change(name);
    if (v.staged) RemoveEntry(v.content);
    Affect(v);
    Gone(v);
    return true;
  }

  bool MoveFile(std::string_view from, std::string_view to) {
    const View vf = Look(from);
    const View vt = Look(to);
    if (vf.kind == Node::kGone || vt.key.empty()) return false;
    if (vt.key == vf.key) return true;  // the same entry in another letter case
    if (vt.kind != Node::kGone || !ParentIsFolder(to) || Under(vt.key, vf.key)) return false;
    // A folder cannot be renamed onto another volume.
    if (vf.kind == Node::kFolder && !vf.new_folder && !platform::SameVolume(vf.content, ParentText(to))) return false;
    Change(from);

    Node moved;
    moved.kind = vf.kind;
    moved.text = vt.text;
    moved.content = vf.content;
    moved.origin = vf.origin;
    moved.staged = vf.staged;
    moved.read_only = vf.read_only;
    if (vf.kind == Node::kFolder) {
      // What was changed inside the folder moves with it.
      std::vector<std::pair<std::string, Node>> inside;
      for (auto it = nodes.lower_bound(vf.key + "/"); it != nodes.end() && Under(it->first, vf.key);) {
        inside.emplace_back(it->first, std::move(it->second));
        it = nodes.erase(it);
      }
      for (auto& [key, node] : inside) {
        if (node.text.size() > vf.text.size() && Folded(node.text.substr(0, vf.text.size())) == Folded(vf.text)) {
          node.text = vt.text + node.text.substr(vf.text.size());
        }
        nodes[vt.key + key.substr(vf.key.size())] = std::move(node);
      }
    }
    Affect(vf);
    Gone(vf);
    nodes[vt.key] = std::move(moved);
    return true;
  }

  bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists) {
    const View vf = Look(from);
    const View vt = Look(to);
    if (vf.kind != Node::kFile || vt.kind == Node::kFolder || !ParentIsFolder(to)) return false;
    if (!vf.staged && platform::IsSpecialEntry(vf.content)) {
      WarnPassedOver(from);
      return false;
    }
    if (vt.kind == Node::kFile && (fail_if_exists || IsReadOnly(to))) return false;
    Change(to);
    StagedFile copy(to, StagedFile::Start::kEmpty);
    platform::ClearLastError();
    if (!platform::CopyFile(vf.content, copy.path(), true)) Fail(FileError::Action::kWrite, to);
    copy.Keep();
    return true;
  }

  std::int64_t StagedBytes() const {
    std::int64_t total = 0;
    for (const auto& [key, n] : nodes) {
      if (n.staged) total += std::max<std::int64_t>(0, platform::FileSize(n.content));
    }
    return total;
  }

  std::vector<Op> Plan() {
    // Where each real entry that stays ends up: its origin's key -> the key
    // of its place.
    std::map<std::string, std::string> holders;
    for (const auto& [key, n] : nodes) {
      if (n.kind != Node::kGone && !n.staged && !n.content.empty()) holders[n.origin] = key;
    }
    // Moved aside: what is affected or held elsewhere, but not what ends up
    // where it was.
    std::map<std::string, std::string> aside = affected;
    for (const auto& [origin, key] : holders) {
      if (origin != key) aside.emplace(origin, nodes.at(key).content);
    }
    for (const auto& [origin, key] : holders) {
      if (origin == key) aside.erase(origin);
    }

    std::vector<std::pair<std::string, std::string>> order(aside.begin(), aside.end());
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
      return Depth(a.first) != Depth(b.first) ? Depth(a.first) > Depth(b.first) : a.first < b.first;
    });
    std::vector<Op> ops;
    std::map<std::string, std::string> attic;
    for (const auto& [origin, text] : order) {
      attic[origin] = StagingName('A');
      ops.push_back({'A', text, attic[origin]});
    }

    std::vector<std::pair<std::string, const Node*>> placed;
    for (const auto& [key, n] : nodes) {
      if (n.kind != Node::kGone) placed.emplace_back(key, &n);
    }
    std::sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
      return Depth(a.first) != Depth(b.first) ? Depth(a.first) < Depth(b.first) : a.first < b.first;
    });
    for (const auto& [key, n] : placed) {
      if (n->kind == Node::kFolder && n->content.empty()) {
        ops.push_back({'M', n->text, ""});
      } else if (n->staged) {
        ops.push_back({'P', n->content, n->text});
      } else if (auto a = attic.find(n->origin); a != attic.end()) {
        ops.push_back({'P', a->second, n->text});
      }
      if (n->read_only) ops.push_back({'R', n->text, *n->read_only ? "1" : "0"});
    }
    for (const auto& [origin, name] : attic) {
      if (!holders.count(origin)) ops.push_back({'D', name, ""});
    }
    return ops;
  }

  // A copy staged for changes stands for its name at once; until its writer
  // keeps it, it can be taken back.
  struct Undo {
    std::string key;
    std::optional<Node> previous;
    std::string put_out;  // the real entry that the copy put out of its place
  };
  std::map<std::string, Undo> undo;  // by staged path

  void Stage(std::string_view name, const std::string& staged) {
    const View v = Look(name);
    Undo u;
    u.key = v.key;
    if (auto it = nodes.find(v.key); it != nodes.end()) u.previous = it->second;
    u.put_out = Put(name, staged);
    undo[staged] = std::move(u);
  }

  void Kept(const std::string& staged) { undo.erase(staged); }

  void Unstage(const std::string& staged) {
    auto it = undo.find(staged);
    if (it == undo.end()) return;
    Undo u = std::move(it->second);
    undo.erase(it);
    if (u.previous) {
      nodes[u.key] = std::move(*u.previous);
    } else {
      nodes.erase(u.key);
    }
    if (!u.put_out.empty()) affected.erase(u.put_out);
    RemoveEntry(staged);
  }
};
namespace {
ChangeSet::Impl* g_open = nullptr;
}

WouldChange::WouldChange(std::string name)
    : FileError(Action::kWrite, std::move(name),
                platform::SystemError{platform::ErrorKind::kRefused, 0, "a probe changes nothing"}) {}

ChangeSet::ChangeSet(Mode mode) : impl_(new Impl) {
  impl_->probe = mode == Mode::kProbe;
  if (std::optional<std::string> host = platform::HostPath(".")) impl_->data = SplitHost(*host);
  impl_->data_key = KeyOf(impl_->data);
  g_open = impl_;
}

ChangeSet::~ChangeSet() {
  if (g_open == impl_) g_open = nullptr;
  // Dropped: the staged files go. After a commit that failed on the way the
  // journal needs them, and the next conversion completes it.
  if (!impl_->committed && !impl_->journal_written && !impl_->probe) {
    try {
      ClearStaging();
    } catch (const FileError&) {
      // Left for the next conversion, which removes staged files first.
    }
  }
  delete impl_;
}

std::int64_t ChangeSet::StagedBytes() const { return impl_->StagedBytes(); }

bool ChangeSet::empty() const { return impl_->nodes.empty() && impl_->affected.empty(); }

bool ChangeSet::changed() const { return impl_->probe_hit; }

void NoteFailure(const FileError& error) {
  if (g_open && !g_open->failure) g_open->failure = error;
}

void ChangeSet::Commit() {
  if (impl_->failure) throw *impl_->failure;
  if (g_open == impl_) g_open = nullptr;
  const std::vector<Op> ops = impl_->Plan();
  if (ops.empty()) {
    impl_->committed = true;
    ClearStaging();
    return;
  }
  // The staged files are on the disk before the journal names them.
  EnsureStagingFolder();
  for (const auto& [key, n] : impl_->nodes) {
    platform::ClearLastError();
    if (n.staged && !platform::SyncFile(n.content)) Fail(FileError::Action::kSync, n.text);
  }
  SyncFolderOf(kStagingFolder);

  std::string journal = std::string(kJournalHeader) + "\n";
  for (const Op& op : ops) journal += OpLine(op) + "\n";
  journal += std::string(kJournalEnd) + "\n";
  WriteWhole(kJournalDraft, journal);
  platform::ClearLastError();
  if (!platform::ReplaceFile(kJournalDraft, kJournal)) Fail(FileError::Action::kJournal, kJournal);
  impl_->journal_written = true;
  SyncFolderOf(".");

  Apply(ops, 0);
  platform::ClearLastError();
  if (!platform::DeleteFile(kJournal)) Fail(FileError::Action::kDelete, kJournal);
  ClearStaging();
  SyncFolderOf(".");
  impl_->committed = true;
}

void FinishInterruptedCommit() {
  platform::ClearLastError();
  if (platform::Exists(kJournalDraft)) RemoveEntry(kJournalDraft);
  if (platform::Exists(kJournal)) {
    platform::Stream in = platform::Stream::Open(kJournal, "rb");
    if (!in) Fail(FileError::Action::kJournal, kJournal);
    std::vector<std::string> lines;
    std::string line;
    while (in.ReadText(line, 1 << 16)) {
      if (!line.empty() && line.back() == '\n') line.pop_back();
      lines.push_back(line);
    }
    if (in.error().kind != platform::ErrorKind::kNone) Fail(FileError::Action::kJournal, kJournal, in.error());
    static_cast<void>(in.Close());
    std::vector<Op> ops;
    int done = 0;
    bool complete = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i == 0) {
        if (lines[i] != kJournalHeader) break;
        continue;
      }
      if (lines[i] == kJournalEnd) {
        complete = true;
      } else if (complete && lines[i].rfind("DONE ", 0) == 0) {
        done = std::max(done, std::atoi(lines[i].c_str() + 5));
      } else if (!complete) {
        std::optional<Op> op = ParseOp(lines[i]);
        if (!op) break;
        ops.push_back(std::move(*op));
      }
    }
    if (!complete) {
      Fail(FileError::Action::kJournal, kJournal,
           Refusal(platform::ErrorKind::kOther, "the journal of the interrupted step is damaged"));
    }
    Apply(ops, done);
    platform::ClearLastError();
    if (!platform::DeleteFile(kJournal)) Fail(FileError::Action::kDelete, kJournal);
  }
  ClearStaging();
  SyncFolderOf(".");
}

bool InterruptedWorkLeft() { return platform::Exists(kJournal) || platform::Exists(kStagingFolder); }

void RemoveCopyLeftovers(std::string_view folder) {
  platform::ClearLastError();
  if (!platform::IsFolder(folder)) return;
  for (const platform::FindEntry& e : platform::FindFiles(Join(folder, ".*"))) {
    if (e.name.find(kCopyMark) != std::string::npos && !(e.attributes & platform::kAttrFolder)) {
      RemoveEntry(Join(folder, e.name));
    }
  }
}

// ---- staged files ------------------------------------------------------------

StagedFile::StagedFile(std::string_view name, Start start) : name_(name), start_(start) {
  ChangeSet::Impl* open = g_open;
  if (open) open->Change(name);
  if (start == Start::kEmpty) {
    if (open) {
      EnsureStagingFolder();
      path_ = StagingName('S');
    } else {
      path_ = name_ + ".~vk";
      if (platform::Exists(path_)) RemoveEntry(path_);  // left over from an interrupted run
    }
    return;
  }
  if (!open) {
    path_ = name_;
    length_ = FileSize(name_);
    existed_ = length_ >= 0;
    length_ = std::max<std::int64_t>(0, length_);
    return;
  }
  const ChangeSet::View v = open->Look(name_);
  if (v.kind == ChangeSet::Node::kFolder) {
    Fail(FileError::Action::kOpen, name_, Refusal(platform::ErrorKind::kOther, "a folder has that name"));
  }
  if (v.staged) {
    path_ = v.content;
    length_ = std::max<std::int64_t>(0, platform::FileSize(path_));
    return;
  }
  EnsureStagingFolder();
  path_ = StagingName('S');
  platform::ClearLastError();
  if (v.kind == ChangeSet::Node::kFile) {
    if (!platform::CopyFile(v.content, path_, true)) Fail(FileError::Action::kWrite, name_);
    if (platform::IsReadOnly(path_)) platform::SetReadOnly(path_, false);
  } else {
    platform::Stream made = platform::Stream::Open(path_, "wb");
    if (!made || !made.Close()) Fail(FileError::Action::kCreate, name_);
  }
  // Until it is kept, the staged copy can be taken back.
  length_ = -2;
  open->Stage(name_, path_);
}

StagedFile::~StagedFile() {
  if (kept_) return;
  try {
    if (start_ == Start::kEmpty) {
      RemoveEntry(path_);
    } else if (length_ == -2) {
      if (g_open) g_open->Unstage(path_);
    } else if (!existed_) {
      RemoveEntry(path_);
    } else if (length_ >= 0) {
      // Not kept by its writer: what was appended is cut off again.
      platform::Stream f = platform::Stream::Open(path_, "r+b");
      if (f && f.Size() > length_) f.Truncate(length_);
    }
  } catch (const FileError&) {
    // What stays behind is removed with the staging folder.
  }
}

void StagedFile::Keep() {
  if (kept_) return;
  if (start_ == Start::kCurrent) {
    if (length_ == -2 && g_open) g_open->Kept(path_);
  } else if (g_open) {
    g_open->Put(name_, path_);
  } else {
    platform::ClearLastError();
    if (!platform::ReplaceFile(path_, name_)) Fail(FileError::Action::kRename, name_);
  }
  kept_ = true;
}

// ---- the files as a step sees them -------------------------------------------

bool Exists(std::string_view name) {
  if (g_open) return g_open->Look(name).kind != ChangeSet::Node::kGone;
  platform::ClearLastError();
  const bool e = platform::Exists(name);
  return Checked(FileError::Action::kOpen, name, e, !e);
}

bool IsFolder(std::string_view name) {
  if (g_open) return g_open->Look(name).kind == ChangeSet::Node::kFolder;
  platform::ClearLastError();
  const bool f = platform::IsFolder(name);
  return Checked(FileError::Action::kOpen, name, f, !f);
}

std::int64_t FileSize(std::string_view name) {
  if (g_open) {
    const ChangeSet::View v = g_open->Look(name);
    if (v.kind == ChangeSet::Node::kGone) return -1;
    if (v.kind == ChangeSet::Node::kFolder) return 0;
    return platform::FileSize(v.content);
  }
  platform::ClearLastError();
  const std::int64_t size = platform::FileSize(name);
  return Checked(FileError::Action::kOpen, name, size, size < 0);
}

bool IsReadOnly(std::string_view name) {
  if (g_open) return g_open->IsReadOnly(name);
  return platform::IsReadOnly(name);
}

bool SetReadOnly(std::string_view name, bool read_only) {
  if (g_open) return g_open->SetReadOnly(name, read_only);
  platform::ClearLastError();
  return CheckedBool(FileError::Action::kWrite, name, platform::SetReadOnly(name, read_only));
}

std::vector<platform::FindEntry> FindFiles(std::string_view pattern) {
  if (g_open) return g_open->Find(pattern);
  platform::ClearLastError();
  std::vector<platform::FindEntry> found = platform::FindFiles(pattern);
  const bool none = found.empty();
  return Checked(FileError::Action::kRead, pattern, std::move(found), none);
}

std::vector<platform::FindEntry> FindDataFiles(std::string_view pattern) {
  std::vector<platform::FindEntry> found = FindFiles(pattern);
  std::size_t cut = pattern.size();
  while (cut > 0 && !IsSep(pattern[cut - 1])) --cut;
  std::erase_if(found, [&](const platform::FindEntry& e) {
    if (!(e.attributes & platform::kAttrFolder)) return false;
    if (e.name != "." && e.name != "..") WarnFolder(std::string(pattern.substr(0, cut)) + e.name);
    return true;
  });
  return found;
}

bool CopyFile(std::string_view from, std::string_view to, bool fail_if_exists) {
  if (g_open) return g_open->CopyFile(from, to, fail_if_exists);
  if (platform::IsSpecialEntry(from)) {
    WarnPassedOver(from);
    return false;
  }
  platform::ClearLastError();
  return CheckedBool(FileError::Action::kWrite, to, platform::CopyFile(from, to, fail_if_exists));
}

bool MoveFile(std::string_view from, std::string_view to) {
  if (g_open) return g_open->MoveFile(from, to);
  platform::ClearLastError();
  return CheckedBool(FileError::Action::kRename, from, platform::MoveFile(from, to));
}

bool DeleteFile(std::string_view name) {
  if (g_open) return g_open->DeleteFile(name);
  platform::ClearLastError();
  return CheckedBool(FileError::Action::kDelete, name, platform::DeleteFile(name));
}

bool CreateFolder(std::string_view name) {
  if (g_open) return g_open->CreateFolder(name);
  platform::ClearLastError();
  return CheckedBool(FileError::Action::kFolder, name, platform::CreateFolder(name));
}

bool RemoveFolder(std::string_view name) {
  if (g_open) return g_open->RemoveFolder(name);
  platform::ClearLastError();
  return CheckedBool(FileError::Action::kFolder, name, platform::RemoveFolder(name));
}

bool FolderOfExists(std::string_view name) { return IsFolder(ParentText(name)); }

platform::Stream OpenExisting(std::string_view name, std::string_view mode) {
  std::string where(name);
  if (g_open) {
    const ChangeSet::View v = g_open->Look(name);
    if (v.kind == ChangeSet::Node::kGone) return {};
    if (v.kind == ChangeSet::Node::kFolder) {
      WarnFolder(name);
      return {};
    }
    where = v.content;
  } else if (platform::IsFolder(where)) {
    WarnFolder(name);
    return {};
  }
  // A pipe, a device or a link to nothing holds no data, and opening some of
  // them waits forever.
  if (platform::IsSpecialEntry(where)) {
    WarnPassedOver(name);
    return {};
  }
  platform::ClearLastError();
  platform::Stream s = platform::Stream::Open(where, mode);
  if (s) return s;
  const platform::SystemError e = platform::LastError();
  if (e.kind == platform::ErrorKind::kNotAFile || (e.kind == platform::ErrorKind::kMissing && platform::IsSpecialEntry(where))) {
    WarnPassedOver(name);
    return s;
  }
  // A name that is there but cannot be opened; a folder of that name too.
  if (e.kind != platform::ErrorKind::kMissing && (platform::IsRealError(e) || platform::Exists(where))) {
    Fail(FileError::Action::kOpen, name);
  }
  return s;
}

void RefuseSpecialTarget(std::string_view name) {
  std::string where(name);
  if (g_open) {
    const ChangeSet::View v = g_open->Look(name);
    if (v.kind == ChangeSet::Node::kGone || v.staged || v.new_folder) return;
    where = v.content;
  }
  if (platform::IsSpecialEntry(where)) {
    Fail(FileError::Action::kCreate, name, Refusal(platform::ErrorKind::kNotAFile, "not a regular file"));
  }
}

}  // namespace store
