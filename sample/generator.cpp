#include "sample/generator.h"

#include <algorithm>

namespace sample {

History Gen::MakeHistory(std::int64_t i) const {
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

bool EmitBytes(Gen& g, const std::string& rel, std::string_view bytes) {
  return Emit(g, rel, [&](store::RecordWriter& w) { return w.Raw(bytes).EndRecord(); });
}

bool Folder(Gen& g, const std::string& rel) {
  if (!g.error.empty()) return false;
  std::string host = rel.empty() ? g.root : g.Host(rel);
  if (platform::CreateFolder(host) || platform::IsFolder(host)) return true;
  g.error = "cannot create the folder " + host;
  return false;
}

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

}  // namespace sample
