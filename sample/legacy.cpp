// The photos, the files older releases left behind, and the legacy folder.
#include <algorithm>

#include "sample/people.h"
#include "sample/words.h"
#include "sample/writers.h"

namespace sample {

using platform::Format;
using store::RecordWriter;

namespace {

// Tiny but well-formed image files.
constexpr char kGifBytes[] =
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00\x21\xF9\x04\x01\x00\x00\x00\x00"
    "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B";
constexpr char kJpegBytes[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";
constexpr std::string_view kGif(kGifBytes, sizeof kGifBytes - 1);
constexpr std::string_view kJpeg(kJpegBytes, sizeof kJpegBytes - 1);

}  // namespace

// F26R0.DAT lists the members with photos; the first dozen of them get
// photo files (WritePhotoFiles).
bool WritePhotoTable(Gen& g, std::vector<std::string>* with_files) {
  std::int64_t count = AtLeast(g.opt.members / 10, 1);
  std::int64_t stride = std::max<std::int64_t>(1, g.opt.members / count);
  auto photo = [&](RecordWriter& w, std::int64_t k, Rng& r) {
    std::int64_t member = std::min(g.opt.members - 1, k * stride + r.Below(stride));
    std::string code = g.Code(member);
    if (with_files->size() < 12) with_files->push_back(code);
    w.Put(code, 9).Put(RandomDate(r, 2000, g.opt.last_year), 10).Put(r.PerMille(500) ? "540" : "545", 980);
    return w.Put(r.Flag(), 1).EndRecord();
  };
  return EmitRecords(g, "Zelk/Vek/F26R0.DAT", count, kPhoto, 0, photo);
}

// The photos lie in ..\Fotos\Vek\540 as {code}-540 (front) and {code}-545
// (back); folders 1 and 3 hold a photo and the logo.
bool WritePhotoFiles(Gen& g, const std::vector<std::string>& with_files) {
  bool ok = true;
  for (std::size_t k = 0; ok && k < with_files.size(); ++k) {
    const std::string& code = with_files[k];
    ok = EmitBytes(g, "Zelk/Fotos/Vek/540/" + code + (k % 4 == 1 ? "-540.jpeg" : "-540.jpg"), kJpeg);
    if (ok && k % 2 == 0) ok = EmitBytes(g, "Zelk/Fotos/Vek/540/" + code + "-545.gif", kGif);
  }
  if (ok && !with_files.empty()) ok = EmitBytes(g, "Zelk/Fotos/Vek/1/" + with_files[0] + ".jpg", kJpeg);
  return ok && EmitBytes(g, "Zelk/Fotos/Vek/3/logo.gif", kGif);
}

// C04.DAT and C04B.DAT: one record of the receipt form's title.
bool WriteReceiptForm(Gen& g, const std::string& rel, std::string_view title, std::size_t width) {
  return Emit(g, rel, [&](RecordWriter& w) { return w.Put(title, width).Put(" ", 1).EndRecord(); });
}

// R01/NOTAS.DAT: older notes, beside the R33 folder of the current release.
bool WriteOldNotes(Gen& g, Rng& r) {
  return Emit(g, "Zelk/Vek/R01/NOTAS.DAT", [&](RecordWriter& w) {
    for (std::size_t k = 0; k < 3; ++k) {
      if (!w.Put(g.Code(r.Below(g.opt.members)), 20).Put(Words().notes[k], 239).Put(" ", 1).EndRecord()) return false;
    }
    return true;
  });
}

// Files of older releases that the cleanup deletes.
bool WriteObsoleteFiles(Gen& g, Rng& r) {
  static const char* const kObsolete[] = {"config4.dat", "config7.dat", "CONF0.SAT", "Acc001.dat", "d03.den",
                                          "d21b.den",    "F16.dat",     "vek.txt",   "glb02.hlp",    "glb01g.txt",
                                          "glbprod.exe", "Glb01.hlp",   "Glb01.gid"};
  for (const char* name : kObsolete) {
    std::string filler(static_cast<std::size_t>(r.Range(40, 400)), 'x');
    if (!EmitBytes(g, std::string("Zelk/Vek/") + name, filler)) return false;
  }
  return true;
}

// The legacy folder's Conf10.dat: an older copy, which must not replace the
// data folder's.
bool WriteLegacyCharges(Gen& g) {
  std::string conf10(285, ' ');
  conf10.replace(0, 6, "100,00");
  conf10.replace(190, 2, "10");
  return EmitBytes(g, "Glebrium/Conf10.dat", conf10);
}

// The yearly file of 1960, with the oldest history: former members only.
bool WriteLegacyHistory(Gen& g) {
  return Emit(g, "Glebrium/REG/RM1960.DAT", [&](RecordWriter& w) {
    for (std::int64_t k = 0; k < 3; ++k) {
      w.Put(g.Code(g.opt.members + g.orphans + k), 18).Put("************", 12);
      if (!w.EndRecord()) return false;
    }
    return true;
  });
}

// An older copy of a yearly file that the data folder has too.
bool WriteLegacyYear(Gen& g, int year) {
  return Emit(g, Format("Glebrium/REG/RM%d.DAT", year), [&](RecordWriter& w) {
    return w.Put(g.Code(0), 18).Put(std::string(12, ' '), 12).EndRecord();
  });
}

}  // namespace sample
