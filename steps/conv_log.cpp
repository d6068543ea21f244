#include "steps/conv_log.h"

#include <string>

#include "platform/stream.h"
#include "store/changes.h"
#include "store/open.h"
#include "text/fields.h"

namespace steps {

namespace {
constexpr const char* kLog = "CONV.DAT";
}

int ConvDone(std::string_view id) {
  platform::Stream in = store::OpenForReading(kLog);
  if (!in) return 0;
  // Pieces of at most nine characters: with ids of up to nine characters the
  // first piece of every line is its start.
  std::string piece;
  while (in.ReadText(piece, 9)) {
    if (text::EqualNoCase(piece, id, id.size())) return 1;
  }
  if (in.error().kind != platform::ErrorKind::kNone) store::Fail(store::FileError::Action::kRead, kLog, in.error());
  return 0;
}

int ConvMark(std::string_view id) {
  if (ConvDone(id)) return 1;
  // A log that cannot be written stops the conversion: a piece of work logged
  // first would otherwise be done again by every later run. A read-only log
  // is made writable for the append.
  platform::Stream out = store::OpenForAppend(kLog);
  if (!out.Write(id) || !out.Write("\r\n") || !out.Close()) {
    store::Fail(store::FileError::Action::kWrite, kLog, out.error());
  }
  return 0;
}

}  // namespace steps
