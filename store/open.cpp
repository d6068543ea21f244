#include "store/open.h"

#include "platform/files.h"
#include "store/changes.h"
#include "platform/ui.h"
#include "text/cp1252.h"
#include "text/numbers.h"

namespace store {

namespace {

constexpr int kBusyProbes = 21;
constexpr int kBusyPauseMs = 50;

enum class Outcome { kReady, kNotOpened, kEndUnreadable, kPositionFailed };

std::string SizeText(std::int64_t size) {
  return text::FormatNumber(static_cast<double>(size), 0);
}

void Tell(std::string_view message) {
  platform::ActiveUi().MessageBox(message, "FOpen2", platform::Icon::kError);
}

}  // namespace

std::optional<std::int64_t> ByteOffset(std::int64_t index, std::int64_t length, std::int64_t extra) {
  std::int64_t product = 0;
  std::int64_t sum = 0;
  if (__builtin_mul_overflow(index, length, &product)) return std::nullopt;
  if (__builtin_add_overflow(product, extra, &sum)) return std::nullopt;
  return sum;
}

void MakeWritable(std::string_view name) {
  if (IsReadOnly(name)) SetReadOnly(name, false);
}

platform::Stream OpenForReading(std::string_view name) { return OpenExisting(name, "rb"); }

namespace {

// Opens the file's staged content (the file itself when no step's changes
// are open) to be written in the mode.
platform::Stream OpenStaged(std::string_view name, const char* mode) {
  // A file in a folder that does not exist cannot be made (no failure of
  // the system: the caller says so).
  if (!Exists(name) && !FolderOfExists(name)) return {};
  RefuseSpecialTarget(name);
  MakeWritable(name);
  StagedFile staged(name, StagedFile::Start::kCurrent);
  staged.Keep();
  platform::ClearLastError();
  platform::Stream s = platform::Stream::Open(staged.path(), mode);
  if (!s) Fail(FileError::Action::kOpen, name);
  return s;
}

}  // namespace

platform::Stream OpenForUpdate(std::string_view name) {
  if (!Exists(name)) return {};
  return OpenStaged(name, "r+b");
}

platform::Stream OpenForAppend(std::string_view name) { return OpenStaged(name, "ab"); }

int PositionAt(platform::Stream& stream, std::int64_t offset) {
  if (!stream || !stream.SeekEnd()) return 1;
  const std::int64_t length = stream.Tell();
  if (length < 0 || offset < 0 || offset >= length) return 1;
  return stream.Seek(offset) ? 0 : 1;
}

bool ReadText(platform::Stream& stream, std::string& out, std::size_t n) {
  out.clear();
  if (!stream) return false;
  return stream.ReadText(out, n);
}

int FileBusy(std::string_view name, BusyWait wait_mode) {
  platform::WaitCursor wait;
  for (int failures = 0;;) {
    if (!platform::Exists(name)) return 0;  // the busy probe looks at the file itself
    if (!platform::IsLockedByOther(name)) return 0;
    if (++failures >= kBusyProbes) {
      if (wait_mode == kBusyTell) {
        platform::ActiveUi().MessageBox("Sistema ocupado, tente novamente.", "FileBusy",
                                        platform::Icon::kWarning);
      }
      return wait_mode == kBusyWaitOnly ? 0 : 1;
    }
    platform::SleepMs(kBusyPauseMs);
  }
}

platform::Stream FOpen2(std::string_view name, long length, long& index, OpenMode mode) {
  platform::Stream stream;
  Outcome outcome = Outcome::kReady;

  if (mode == kAddRecord) {
    const std::int64_t size = FileSize(name);
    if (size > kHardSizeLimit) {
      Tell("O arquivo ultrapassou o limite permitido (2 GB).\nTamanho: " + SizeText(size) + " bytes");
      return {};
    }
    if (size > kWarnSizeLimit) {
      std::string question = CP1252("O arquivo já possui mais de 512 MB.\nTamanho: ").str();
      question += SizeText(size);
      question += CP1252(" bytes\n\nAvise o suporte técnico.\n\nDeseja continuar?");
      if (platform::ActiveUi().MessageBox(question, "FOpen2", platform::Icon::kQuestion,
                                          platform::Buttons::kYesNo) != platform::Answer::kYes) {
        return {};
      }
    }

    index = -1;
    FileBusy(name, kBusyWaitOnly);
    stream = OpenForAppend(name);
    if (!stream) {
      outcome = Outcome::kNotOpened;
    } else if (!stream.SeekEnd()) {
      outcome = Outcome::kEndUnreadable;
    } else if (const std::int64_t end = stream.Tell(); end < 0) {
      outcome = Outcome::kEndUnreadable;
    } else if (length > 0) {
      const std::int64_t records = end / length;
      const std::int64_t tail = end % length;
      index = static_cast<long>(tail == 0 ? records : records + 1);
      // A record cut short is completed so that the next write starts a record.
      if (tail != 0 && !stream.Write(std::string(static_cast<std::size_t>(length - tail), ' '))) {
        Fail(FileError::Action::kWrite, name, stream.error());
      }
    }
  } else {
    stream = OpenForUpdate(name);
    if (!stream) {
      outcome = Outcome::kNotOpened;
    } else {
      const std::optional<std::int64_t> offset = ByteOffset(index, length);
      if (!offset || PositionAt(stream, *offset) != 0) outcome = Outcome::kPositionFailed;
    }
  }

  if (outcome == Outcome::kReady) return stream;
  if (stream) static_cast<void>(stream.Close());
  switch (outcome) {
    case Outcome::kEndUnreadable:
      Tell(CP1252("Erro ao conferir posições dos registros."));
      break;
    case Outcome::kPositionFailed:
      Tell("Erro ao posicionar arquivo.");
      break;
    default:
      if (mode != kAddRecord && !Exists(name)) {
        Tell("Arquivo inexistente.");
      } else {
        Tell(CP1252("Erro ao abrir o arquivo.\nO compartilhamento de arquivos no servidor precisa ter "
                    "permissão para gravação."));
      }
      break;
  }
  return {};
}

int PeekMessage2(int /*mode*/) {
  platform::Ui& ui = platform::ActiveUi();
  ui.Pump();
  if (!ui.wait_cursor()) ui.ShowWaitCursor(true);
  return 0;
}

}  // namespace store
