// The room a conversion needs on the data folder's disk, told before anything
// is changed. A step stages its new and rewritten files beside the ones they
// replace, so the most the conversion takes is, at the commit of some step,
// what the steps before it added plus what that step has staged. Sizes come
// from the files there are and the record lengths of the layouts; where a size
// depends on the data (the due entries of 4.35, the texts of F90.DAT) the
// ratio is a generous one. Files moved to the temporary folder are counted as
// staying on the disk.
#include <algorithm>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "steps/conv_log.h"
#include "steps/steps.h"
#include "store/changes.h"
#include "text/fields.h"

namespace steps {

namespace {

enum class Effect {
  kNew,      // a new file (or group of files) of `ratio` times the source
  kConsume,  // the same, and the source goes
  kRewrite,  // the source is rewritten, `ratio` times its size
  kKeepOld,  // the same, and the old file stays under the new name
  kRename,   // the source takes the new name
};

struct Rule {
  std::size_t step;
  std::string_view from;  // a name, or a folder's files ("REG01\*.DAT")
  double ratio;
  std::string_view to;
  Effect effect;
  std::string_view unless_logged = {};  // a conversion-log id that means done
  std::string_view unless_exists = {};  // a file whose presence means done
};

constexpr Rule kRules[] = {
    {1, "REG\\RM*.DAT", 1, "", Effect::kRewrite},
    {1, "F10r2.dat", 1501.0 / 897, "F10R3.DAT", Effect::kNew},
    {2, "f13.dat", 897.0 / 478, "F13R0.DAT", Effect::kConsume, {}, "F13R0.DAT"},
    {2, "f14.dat", 897.0 / 479, "F13R0.DAT", Effect::kConsume, {}, "F13R0.DAT"},
    {2, "f15.dat", 897.0 / 538, "F13R0.DAT", Effect::kConsume, {}, "F13R0.DAT"},
    {3, "Conf10.dat", 665.0 / 285, "", Effect::kRewrite},
    {4, "Conf11.dat", 575.0 / 337, "F18R0.DAT", Effect::kConsume},
    {4, "F18.DAT", 575.0 / 337, "F18R0.DAT", Effect::kConsume},
    {4, "Config22.dat", 300.0 / 46, "F19.DAT", Effect::kConsume},
    {5, "REG01\\*.DAT", 113.0 / 79, "REG04\\*.DAT", Effect::kNew},
    {5, "F10R3.DAT", 1, "F22.DAT", Effect::kNew, {}, "F22.DAT"},
    {5, "F10R3.DAT", 1000.0 / 1501, "F10R4.DAT", Effect::kNew, {}, "F10R4.DAT"},
    {5, "F13R0.DAT", 1000.0 / 897, "F13R1.DAT", Effect::kNew, {}, "F13R1.DAT"},
    {5, "F17.DAT", 1000.0 / 896, "F17R0.DAT", Effect::kNew, {}, "F17R0.DAT"},
    {5, "CONF14.DAT", 3, "F24.DAT", Effect::kNew, {}, "F24.DAT"},
    {6, "REG02\\F20r2.dat", 1, "REG02\\F20r2.tmp", Effect::kNew, {}, "REG02\\F20r2.tmp"},
    {6, "REG02\\A*.DAT", 14.0 * 230 / 557, "R50\\*.DAT", Effect::kNew},
    {6, "F11R2.DAT", 1000.0 / 1581, "F11R3.DAT", Effect::kNew, {}, "F11R3.DAT"},
    {6, "F18R0.DAT", 547.0 / 575, "F18R1.DAT", Effect::kNew, {}, "F18R1.DAT"},
    // Rewritten, the old file kept as the backup.
    {7, "F10R4.DAT", 1, "F10R4_469.BAK", Effect::kKeepOld, {}, "F31.DAT"},
    {8, "F27.DAT", 1, "F02R1.DAT", Effect::kRename},
    {8, "F17R0.DAT", 814.0 / 1000, "F01R0.DAT", Effect::kNew, {}, "F01R0.DAT"},
    {8, "F11R3.DAT", 815.0 / 1000, "F09R0.DAT", Effect::kNew, {}, "F09R0.DAT"},
    {8, "R08\\*.DAT", 2 * 260.0 / 160, "R33\\*.DAT", Effect::kNew, {}, "F32.DAT"},
    {8, "REG04\\*.DAT", 260.0 / 113, "R33\\*.DAT", Effect::kNew, {}, "F32.DAT"},
    {8, "F31.DAT", 311.0 / 172, "F14R0.DAT", Effect::kNew, {}, "F14R0.DAT"},
    {8, "F10R4.DAT", 1, "", Effect::kRewrite, "530"},
    {9, "C28R0.DAT", 1, "F28R0.DAT", Effect::kRename},
    {9, "F14R0.DAT", 455.0 / 311, "F03R0.DAT", Effect::kNew, {}, "F03R0.DAT"},
    {9, "F08R0.DAT", 1000.0 / 300, "F08R1.DAT", Effect::kConsume, {}, "F08R1.DAT"},
    {9, "F13R1.DAT", 1, "", Effect::kRewrite, "543"},
    {9, "F25R0.DAT", 1, "", Effect::kRewrite, "544"},
    // The country codes are recoded on every run, but only a conversion that
    // has not come to its end finds any to recode.
    {9, "F10R4.DAT", 1, "", Effect::kRewrite, "559"},
    {9, "F02R1.DAT", 1, "", Effect::kRewrite, "559"},
    {10, "F00R0.DAT", 1, "", Effect::kRewrite, {}, "FTEL1.DAT"},
    {10, "F01R0.DAT", 1, "", Effect::kRewrite, {}, "FTEL1.DAT"},
    {10, "F02R1.DAT", 1, "", Effect::kRewrite, {}, "FTEL1.DAT"},
    {10, "F09R0.DAT", 1, "", Effect::kRewrite, {}, "FTEL1.DAT"},
    {10, "F10R4.DAT", 1, "", Effect::kRewrite, {}, "FTEL1.DAT"},
    {10, "F10R4.DAT", 0.1, "FTEL1.DAT", Effect::kNew, {}, "FTEL1.DAT"},
    {11, "F09R0.DAT", 1, "", Effect::kRewrite, "559"},
    {11, "F28R0.DAT", 1, "", Effect::kRewrite, "559"},
    {11, "R33\\*.DAT", 1, "", Effect::kRewrite, "559"},
    {11, "F15R0.DAT", 900.0 / 300, "F15R1.DAT", Effect::kNew, {}, "F15R1.DAT"},
    {11, "F18R1.DAT", 810.0 / 547, "F18R2.DAT", Effect::kNew, {}, "F18R2.DAT"},
    // An entry of F90.DAT has at least 16 bytes; its record has 500.
    {11, "F90.DAT", 500.0 / 16, "F40.DAT", Effect::kConsume, {}, "F40.DAT"},
};

// The sizes of the files as the estimate goes on through the steps: names
// and groups ("R33\*.DAT") that the steps made or changed so far.
class Sizes {
 public:
  std::int64_t Of(std::string_view name) {
    const std::string key = Key(name);
    if (auto it = made_.find(key); it != made_.end()) return it->second;
    std::int64_t total = 0;
    if (name.find('*') == std::string_view::npos) {
      total = std::max<std::int64_t>(0, store::FileSize(name));
    } else {
      const std::size_t cut = name.rfind('\\');
      const std::string folder(name.substr(0, cut + 1));
      for (const platform::FindEntry& e : store::FindFiles(name)) {
        if (!(e.attributes & platform::kAttrFolder)) total += Of(folder + e.name);
      }
      // Files that an earlier step made in that folder.
      for (const auto& [k, size] : made_) {
        if (k.compare(0, folder.size(), Key(folder)) == 0 && k.find('\\', folder.size()) == std::string::npos &&
            !store::Exists(k) && platform::WildcardMatch(name.substr(cut + 1), k.substr(folder.size()))) {
          total += size;
        }
      }
    }
    return total;
  }
  void Set(std::string_view name, std::int64_t size) { made_[Key(name)] = size; }

 private:
  static std::string Key(std::string_view name) {
    std::string k(name);
    for (char& c : k) c = static_cast<char>(text::FoldCase(static_cast<unsigned char>(c)));
    return k;
  }
  std::map<std::string, std::int64_t> made_;
};

// What the legacy folder import would copy in: each file's name there, its
// name in the data folder and its size.
template <typename Take>
void ForEachImported(Take take_file) {
  if (ConvDone("559")) return;
  auto take = [&](const std::string& from, const std::string& to_folder) {
    for (const platform::FindEntry& e : store::FindFiles(from + "\\*.DAT")) {
      const std::string to = to_folder + e.name;
      if ((e.attributes & platform::kAttrFolder) || store::Exists(to)) continue;
      take_file(from + "\\" + e.name, to, e.size);
    }
  };
  take("C:\\Glebrium", "");
  for (const platform::FindEntry& e : store::FindFiles("*")) {
    if (e.attributes == platform::kAttrFolder && e.name != "." && e.name != "..") {
      take("C:\\Glebrium\\" + e.name, e.name + "\\");
    }
  }
}

std::int64_t Imported(Sizes& sizes) {
  std::int64_t total = 0;
  ForEachImported([&](const std::string&, const std::string& to, std::int64_t size) {
    sizes.Set(to, size);
    total += size;
  });
  return total;
}

bool Applies(const Rule& r) {
  return (r.unless_logged.empty() || !ConvDone(r.unless_logged)) &&
         (r.unless_exists.empty() || !store::Exists(r.unless_exists));
}

}  // namespace

std::int64_t EstimateSpace(std::size_t first) {
  Sizes sizes;
  std::int64_t grown = first == 0 ? Imported(sizes) : 0;
  std::int64_t most = grown;
  // What the steps of one commit have staged so far, and how much the files
  // grow when it is made. A file rewritten by several steps of one commit is
  // staged once and changed where it stands.
  std::int64_t staged = 0;
  std::int64_t growth = 0;
  std::map<std::string, bool> rewritten;
  const std::span<const Step> steps = AllSteps();
  for (std::size_t step = first; step < steps.size(); ++step) {
    for (const Rule& r : kRules) {
      if (r.step != step || !Applies(r)) continue;
      const std::int64_t from = sizes.Of(r.from);
      const std::int64_t made = static_cast<std::int64_t>(static_cast<double>(from) * r.ratio);
      switch (r.effect) {
        case Effect::kNew:
        case Effect::kConsume:
          staged += made;
          growth += made - (r.effect == Effect::kConsume ? from : 0);
          sizes.Set(r.to, sizes.Of(r.to) + made);
          if (r.effect == Effect::kConsume) sizes.Set(r.from, 0);
          rewritten[std::string(r.to)] = true;
          break;
        case Effect::kRewrite:
          if (!rewritten[std::string(r.from)]) staged += made;
          rewritten[std::string(r.from)] = true;
          growth += made - from;
          sizes.Set(r.from, made);
          break;
        case Effect::kKeepOld:
          staged += made;
          rewritten[std::string(r.from)] = true;
          growth += made;
          sizes.Set(r.to, from);
          sizes.Set(r.from, made);
          break;
        case Effect::kRename:
          sizes.Set(r.to, from);
          sizes.Set(r.from, 0);
          break;
      }
    }
    if (steps[step].commits || step + 1 == steps.size()) {
      most = std::max(most, grown + staged);
      grown += growth;
      staged = growth = 0;
      rewritten.clear();
    }
  }
  // Room for the journal, the log and the small files the table leaves out.
  return most + most / 20 + (1 << 20);
}

std::vector<StepFile> FilesOfStep(std::size_t step) {
  std::vector<StepFile> out;
  auto add = [&](std::string name, std::int64_t size, bool written) {
    auto same = [](unsigned char a, unsigned char b) { return text::FoldCase(a) == text::FoldCase(b); };
    for (const StepFile& f : out) {
      if (f.written == written && std::ranges::equal(name, f.name, same)) return;
    }
    out.push_back({std::move(name), size, written});
  };
  if (step == 0) {
    ForEachImported([&](const std::string& from, const std::string&, std::int64_t size) { add(from, size, false); });
    return out;
  }
  for (const Rule& r : kRules) {
    if (r.step != step || !Applies(r)) continue;
    if (r.from.find('*') == std::string_view::npos) {
      add(std::string(r.from), store::FileSize(r.from), false);
    } else {
      // A group of files is told as one, with their count and total size.
      std::int64_t total = 0;
      int files = 0;
      for (const platform::FindEntry& e : store::FindFiles(r.from)) {
        if (!(e.attributes & platform::kAttrFolder)) {
          total += e.size;
          ++files;
        }
      }
      add(std::string(r.from), files > 0 ? total : -1, false);
      out.back().files = files;
    }
    if (r.effect == Effect::kRewrite) add(std::string(r.from), -1, true);
    else if (!r.to.empty()) add(std::string(r.to), -1, true);
    if (r.effect == Effect::kKeepOld) add(std::string(r.from), -1, true);
  }
  return out;
}

std::int64_t StepInputBytes(std::size_t step) {
  // How many times over a step reads its input, as measured on generated
  // installations of every size: some steps go through a table more than
  // once. Kept a little under the measure, so that a step comes near its end
  // rather than sitting at the whole.
  static constexpr double kReads[] = {1, 1.7, 1, 2, 1, 2, 1, 2.7, 1.3, 1, 1, 2.3, 1};
  Sizes sizes;
  if (step == 0) return Imported(sizes);
  std::int64_t total = 0;
  std::map<std::string, bool> counted;  // a file that two rules read is read once
  for (const Rule& r : kRules) {
    if (r.step != step || !Applies(r) || counted[std::string(r.from)]) continue;
    counted[std::string(r.from)] = true;
    total += sizes.Of(r.from);
  }
  return step < std::size(kReads) ? static_cast<std::int64_t>(static_cast<double>(total) * kReads[step]) : total;
}

}  // namespace steps
