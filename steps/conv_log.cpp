#include "steps/conv_log.h"

#include <string>

#include "platform/files.h"
#include "platform/stream.h"
#include "text/fields.h"

namespace steps {

namespace {
constexpr const char* kLog = "CONV.DAT";
}

int ConvDone(std::string_view id) {
  platform::Stream in = platform::Stream::Open(kLog, "rb");
  if (!in) return 0;
  // Pieces of at most nine characters: with ids of up to nine characters the
  // first piece of every line is its start.
  std::string piece;
  while (in.ReadText(piece, 9)) {
    if (text::EqualNoCase(piece, id, id.size())) return 1;
  }
  return 0;
}

int ConvMark(std::string_view id) {
  if (ConvDone(id)) return 1;
  if (platform::Exists(kLog) && platform::IsReadOnly(kLog)) platform::SetReadOnly(kLog, false);
  platform::Stream out = platform::Stream::Open(kLog, "ab");
  if (out) {
    out.Write(id);
    out.Write("\r\n");
    out.Close();
  }
  return 0;
}

}  // namespace steps
