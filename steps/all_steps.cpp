#include "steps/steps.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

#include "platform/files.h"
#include "steps/conv_log.h"
#include "store/changes.h"
#include "store/housekeeping.h"
#include "store/open.h"
#include "text/cp1252.h"
#include "text/numbers.h"

namespace steps {

std::string RetiredFolder() { return store::TemporaryFolder() + kRetiredSubfolder; }

std::span<const Step> AllSteps() {
  // Later steps read what earlier ones wrote: the order is part of the data layouts.
  static constexpr auto kImport = CP1252("importação da pasta C:\\Glebrium");
  static constexpr auto kRecords = CP1252("5.30, registros e fotos");
  static constexpr auto kCodes = CP1252("5.59, códigos e anotações");
  //
  // Each step commits on its own, but for the steps from 4.69 on: they
  // rewrite the member table F10R4.DAT and the tables made beside it
  // (F09R0.DAT, F02R1.DAT, R33) one after another, and committed together
  // each table is written once and then changed where it stands, instead of
  // being copied anew, a gigabyte at a time, by every step.
  constexpr bool kWithNext = false;
  static constexpr Step kSteps[] = {
      {"legacy folder import", kImport.data, ImportLegacyFolder},
      {"3.70", "3.70", MigrateTo370},
      {"4.00", "4.00", MigrateTo400},
      {"4.07", "4.07", MigrateTo407},
      {"4.31", "4.31", MigrateTo431},
      {"4.35", "4.35", MigrateTo435},
      {"4.51", "4.51", MigrateTo451},
      {"4.69", "4.69", MigrateTo469, kWithNext},
      {"records and photos", kRecords.data, RelayoutRecordsAndPhotos, kWithNext},
      {"payment methods", "5.43, formas de pagamento", RelayoutPaymentMethods, kWithNext},
      {"telephones", "telefones", MigrateTelephones, kWithNext},
      {"codes and notes", kCodes.data, FormatCodesAndLinkNotes, kWithNext},
      {"cleanup", "limpeza dos arquivos antigos", CleanupObsoleteFiles},
  };
  return kSteps;
}

namespace {

// ---- how far a conversion came ------------------------------------------------

struct Progress {
  std::size_t next = 0;  // the first step not committed
  platform::Date today;  // the date the conversion took for today
};

std::optional<Progress> ReadProgress() {
  platform::Stream in = store::OpenForReading(kProgressFile);
  if (!in) return std::nullopt;
  std::string text;
  char buf[128];
  std::size_t n = in.ReadRaw(buf, sizeof buf);
  if (in.error().kind != platform::ErrorKind::kNone) store::Fail(store::FileError::Action::kRead, kProgressFile, in.error());
  text.assign(buf, n);
  unsigned next = 0;
  Progress p;
  if (std::sscanf(text.c_str(), "next %u today %d-%d-%d", &next, &p.today.year, &p.today.month, &p.today.day) != 4 ||
      next > AllSteps().size()) {
    return std::nullopt;  // not ours: the conversion starts from the first step
  }
  p.next = next;
  return p;
}

// Stages the progress file for the commit of the step before `next`.
void StageProgress(const Progress& p) {
  char text[64];
  std::snprintf(text, sizeof text, "next %zu today %04d-%02d-%02d\r\n", p.next, p.today.year, p.today.month,
                p.today.day);
  store::StagedFile file(kProgressFile, store::StagedFile::Start::kEmpty);
  platform::ClearLastError();
  platform::Stream out = platform::Stream::Open(file.path(), "wb");
  if (!out) store::Fail(store::FileError::Action::kCreate, kProgressFile);
  if (!out.Write(text) || !out.Close()) store::Fail(store::FileError::Action::kWrite, kProgressFile, out.error());
  file.Keep();
}

// ---- what the user is told -------------------------------------------------------

std::string Megabytes(std::int64_t bytes) {
  return text::FormatNumber(static_cast<double>((bytes + 999'999) / 1'000'000), 0) + " MB";
}

std::string ActionText(store::FileError::Action a) {
  using A = store::FileError::Action;
  switch (a) {
    case A::kOpen: return CP1252("Não foi possível abrir").str();
    case A::kRead: return CP1252("Não foi possível ler").str();
    case A::kWrite: return CP1252("Não foi possível gravar").str();
    case A::kCreate: return CP1252("Não foi possível criar").str();
    case A::kReplace: return CP1252("Não foi possível substituir").str();
    case A::kRename: return CP1252("Não foi possível renomear").str();
    case A::kDelete: return CP1252("Não foi possível excluir").str();
    case A::kFolder: return CP1252("Não foi possível criar ou remover a pasta").str();
    case A::kSync: return CP1252("Não foi possível gravar no disco").str();
    case A::kJournal: return CP1252("Não foi possível completar o registro da conversão").str();
  }
  return {};
}

std::string CauseText(const platform::SystemError& e) {
  switch (e.kind) {
    case platform::ErrorKind::kNoSpace: return CP1252("disco cheio").str();
    case platform::ErrorKind::kDenied: return "acesso negado";
    case platform::ErrorKind::kDevice: return CP1252("erro de leitura ou gravação no disco").str();
    case platform::ErrorKind::kNotAFile: return CP1252("não é um arquivo comum").str();
    case platform::ErrorKind::kTooLarge: return "passaria do limite de 2 GB";
    default: return "erro do sistema";
  }
}

std::string AdviceText(const platform::SystemError& e) {
  switch (e.kind) {
    case platform::ErrorKind::kNoSpace:
      return CP1252("Libere espaço no disco e execute a conversão novamente.").str();
    case platform::ErrorKind::kDenied:
      return CP1252(
                 "Verifique se a pasta de dados e o arquivo podem ser gravados (permissões, somente leitura, "
                 "arquivo em uso) e execute a conversão novamente.")
          .str();
    case platform::ErrorKind::kDevice:
      return CP1252("Verifique o disco e execute a conversão novamente.").str();
    case platform::ErrorKind::kNotAFile:
      return CP1252("Tire esse item da pasta de dados (ou ponha no lugar o arquivo verdadeiro) e execute a "
                    "conversão novamente.")
          .str();
    case platform::ErrorKind::kTooLarge:
      return CP1252("Avise o suporte técnico.").str();
    default:
      return CP1252("Corrija a causa e execute a conversão novamente.").str();
  }
}

std::string StopMessage(const char* where, const store::FileError& e, bool stopped = true) {
  std::string m = where;
  m += "\n";
  m += ActionText(e.action()) + " " + e.name() + ": " + CauseText(e.error());
  if (!e.error().text.empty()) m += " (" + e.error().text + ")";
  m += ".\n" + AdviceText(e.error());
  if (stopped) {
    m += "\n";
    m += CP1252("Os arquivos estão como a última etapa completa os deixou; a conversão continua de onde parou.").str();
  }
  return m;
}

// The step for the front end to show, from its start until it is committed
// or stopped.
class ShownStep {
 public:
  ShownStep(platform::Ui& dlg, std::size_t index, std::size_t count, const char* label, std::int64_t input)
      : dlg_(dlg) {
    dlg_.StepBegins(index + 1, count, label, input);
  }
  ~ShownStep() { dlg_.StepEnds(); }
  ShownStep(const ShownStep&) = delete;
  ShownStep& operator=(const ShownStep&) = delete;

 private:
  platform::Ui& dlg_;
};

}  // namespace

InstallationStatus ReadStatus(platform::Ui& dlg) {
  InstallationStatus status;
  const std::span<const Step> steps = AllSteps();
  status.steps.assign(steps.size(), StepState::kPending);
  dlg.ClearWarnings();
  std::size_t first = 0;
  bool interrupted = false;
  try {
    status.stop = CheckBeforeConverting();
    const std::optional<Progress> progress = ReadProgress();
    if (progress) {
      first = progress->next;
      platform::SetToday(progress->today);
    }
    // A commit or a step that did not come to its end left its files.
    interrupted = store::InterruptedWorkLeft();
    status.space_free = platform::FreeSpace(".");
    status.space_needed = EstimateSpace(first);
    for (const char* id : {"530", "543", "544", "559"}) {
      if (ConvDone(id)) status.logged.push_back(id);
    }
  } catch (const store::FileError& e) {
    status.fault = StopMessage(CP1252("A conversão não poderia começar.").c_str(), e, false);
  }
  for (std::size_t i = 0; i < first && i < steps.size(); ++i) status.steps[i] = StepState::kDone;
  if (interrupted && first < steps.size()) {
    // Its files are as the interruption left them; only the next conversion
    // can tell what remains.
    status.steps[first] = StepState::kInterrupted;
  } else if (!status.fault) {
    for (std::size_t i = first; i < steps.size(); ++i) {
      store::ChangeSet probe(store::ChangeSet::Mode::kProbe);
      try {
        steps[i].run(dlg);
      } catch (const store::WouldChange&) {
      } catch (const store::FileError& e) {
        char where[160];
        std::snprintf(where, sizeof where, CP1252("A conversão pararia na etapa %zu de %zu (%s).").c_str(), i + 1,
                      steps.size(), steps[i].label);
        status.fault = StopMessage(where, e, false);
        break;
      }
      if (probe.changed()) break;
      status.steps[i] = StepState::kDone;
    }
  }
  platform::SetToday(std::nullopt);
  status.warnings = dlg.warnings();
  return status;
}

ConversionResult Convert(platform::Ui& dlg, const std::function<void(const char*, double)>& on_step,
                         bool check_space) {
  ConversionResult result;
  const std::span<const Step> steps = AllSteps();
  // One conversion at a time: another one's staged files are not leftovers.
  const platform::FolderLock lock(".", kLockFile);
  if (!lock.held()) {
    result.outcome = Outcome::kBusy;
    result.message =
        CP1252("Outra conversão está em andamento nesta pasta de dados: espere que ela termine. Nenhum arquivo foi "
               "alterado.")
            .str();
    return result;
  }
  dlg.ClearWarnings();
  std::optional<Progress> progress;
  static constexpr auto kNotStarted = CP1252("A conversão não pôde começar.");
  static constexpr auto kNotCompleted = CP1252("A conversão interrompida antes não pôde ser completada.");
  const char* stage = kNotStarted.data;
  try {
    if (std::optional<std::string> problem = CheckBeforeConverting()) {
      result.outcome = Outcome::kStopped;
      result.message = *problem;
      return result;
    }
    stage = kNotCompleted.data;
    store::FinishInterruptedCommit();
    store::RemoveCopyLeftovers(RetiredFolder());
    progress = ReadProgress();
    stage = kNotStarted.data;
    result.space_free = platform::FreeSpace(".");
    result.space_needed = EstimateSpace(progress ? progress->next : 0);
  } catch (const store::FileError& e) {
    result.outcome = Outcome::kStopped;
    result.message = StopMessage(stage, e);
    return result;
  }
  Progress p = progress.value_or(Progress{0, platform::Today()});
  // A conversion that goes on takes the date that it started with.
  if (progress) platform::SetToday(p.today);

  if (check_space && result.space_free >= 0 && result.space_needed > result.space_free) {
    result.outcome = Outcome::kNoSpace;
    result.message = CP1252("Não há espaço suficiente no disco para a conversão.\nNecessário: ").str() +
                     Megabytes(result.space_needed) + "; livre: " + Megabytes(result.space_free) +
                     CP1252(".\nLibere espaço no disco e execute a conversão novamente. Nenhum arquivo foi alterado.")
                         .str();
    if (progress) platform::SetToday(std::nullopt);
    return result;
  }

  std::int64_t least_free = result.space_free;
  std::optional<store::ChangeSet> changes;
  std::size_t first_uncommitted = p.next;
  for (std::size_t i = p.next; i < steps.size(); ++i) {
    const auto start = std::chrono::steady_clock::now();
    try {
      if (!changes) {
        changes.emplace();
        first_uncommitted = i;
      }
      const ShownStep shown(dlg, i, steps.size(), steps[i].label, StepInputBytes(i));
      steps[i].run(dlg);
      if (steps[i].commits || i + 1 == steps.size()) {
        // Steps that changed nothing leave the files as they were, so running
        // them again after an interruption gives what they gave: the progress
        // needs no word from them, and a converted installation is not
        // touched.
        Progress next{i + 1, p.today};
        if (next.next == steps.size()) {
          store::DeleteFile(kProgressFile);
        } else if (!changes->empty()) {
          StageProgress(next);
        }
        const std::int64_t free_now = platform::FreeSpace(".");
        if (free_now >= 0 && (least_free < 0 || free_now < least_free)) least_free = free_now;
        changes->Commit();
        changes.reset();
      }
    } catch (const store::FileError& e) {
      changes.reset();
      char where[320];
      int n = std::snprintf(where, sizeof where, CP1252("A conversão parou na etapa %zu de %zu (%s).").c_str(),
                            i + 1, steps.size(), steps[i].label);
      if (first_uncommitted < i && n > 0 && static_cast<std::size_t>(n) < sizeof where) {
        std::snprintf(where + n, sizeof where - static_cast<std::size_t>(n),
                      CP1252(" As etapas %zu a %zu são gravadas juntas: nenhuma delas foi gravada.").c_str(),
                      first_uncommitted + 1, i + 1);
      }
      result.outcome = Outcome::kStopped;
      result.message = StopMessage(where, e);
      break;
    }
    if (on_step) {
      on_step(steps[i].name, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
  }
  if (result.space_free >= 0 && least_free >= 0) result.peak_use = result.space_free - least_free;
  if (progress) platform::SetToday(std::nullopt);
  result.warnings = dlg.warnings();
  return result;
}

}  // namespace steps
