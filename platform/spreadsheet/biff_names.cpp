#include "platform/spreadsheet/biff_names.h"

namespace zumt::sheet::biff {

std::optional<NameRecord> ParseName(Bytes rec, int biff, int codepage) {
  // grbit(2) chKey(1) cch(1) cce(2) ixals(2) itab(2) four text lengths(4), then the name.
  if (rec.size() < 14) return std::nullopt;
  NameRecord out;
  const std::uint16_t grbit = U16(&rec[0]);
  out.builtin = grbit & 0x0020;
  const std::size_t cch = rec[3];
  const std::size_t cce = U16(&rec[4]);
  out.itab = U16(&rec[8]);
  std::size_t pos = 14;
  if (biff >= 8) {
    if (pos >= rec.size()) return std::nullopt;
    const bool wide = rec[pos++] & 0x01;
    const std::size_t bytes = wide ? 2 * cch : cch;
    if (rec.size() - pos < bytes) return std::nullopt;
    if (wide) {
      Utf16Decoder d;
      d.Append(out.name, &rec[pos], cch);
      d.Finish(out.name);
    } else {
      AppendLatin1(out.name, &rec[pos], cch);
    }
    pos += bytes;
  } else {
    if (rec.size() - pos < cch) return std::nullopt;
    Append8Bit(out.name, &rec[pos], cch, codepage);
    pos += cch;
  }
  if (rec.size() - pos >= cce) out.formula.assign(rec.begin() + pos, rec.begin() + pos + cce);
  return out;
}

namespace {

std::optional<int> LocalSheet(int first, int last, const std::vector<SheetInfo>& sheets) {
  if (first != last || first < 0 || static_cast<std::size_t>(first) >= sheets.size()) return std::nullopt;
  if (!sheets[first].worksheet) return std::nullopt;
  return first;
}

}  // namespace

std::optional<Area> ResolveName(const NameRecord& name, int biff, const Links& links,
                                const std::vector<SheetInfo>& sheets) {
  const std::vector<std::uint8_t>& f = name.formula;
  if (f.empty()) return std::nullopt;
  const std::uint8_t ptg = f[0];
  const std::uint8_t base = ptg & 0x1F;  // the token without its value class bits
  if (ptg != base + 0x20 && ptg != base + 0x40 && ptg != base + 0x60) return std::nullopt;
  const std::uint8_t* p = f.data() + 1;
  const std::size_t n = f.size() - 1;
  Area area;
  if (biff >= 8) {
    std::optional<int> sheet;
    if (base == 0x1A || base == 0x1B) {  // ptgRef3d, ptgArea3d
      if (n != (base == 0x1A ? 6u : 10u)) return std::nullopt;
      const std::size_t ixti = U16(p);
      if (ixti >= links.xti.size()) return std::nullopt;
      const Xti& x = links.xti[ixti];
      if (x.supbook >= links.supbookLocal.size() || !links.supbookLocal[x.supbook]) return std::nullopt;
      sheet = LocalSheet(x.first, x.last, sheets);
      p += 2;
    } else if (base == 0x04 || base == 0x05) {  // ptgRef, ptgArea: the name's own sheet
      if (n != (base == 0x04 ? 4u : 8u) || name.itab == 0) return std::nullopt;
      sheet = LocalSheet(name.itab - 1, name.itab - 1, sheets);
    } else {
      return std::nullopt;
    }
    if (!sheet) return std::nullopt;
    area.sheet = *sheet;
    if (base == 0x1A || base == 0x04) {
      area.firstRow = area.lastRow = U16(p);
      area.firstCol = area.lastCol = U16(p + 2) & 0x3FFF;
    } else {
      area.firstRow = U16(p);
      area.lastRow = U16(p + 2);
      area.firstCol = U16(p + 4) & 0x3FFF;
      area.lastCol = U16(p + 6) & 0x3FFF;
    }
  } else {
    // BIFF5 3-D reference: ixals(2, negative: this workbook) 8 unused, itabFirst(2) itabLast(2), cells.
    if (base != 0x1A && base != 0x1B) return std::nullopt;
    if (n != (base == 0x1A ? 17u : 20u)) return std::nullopt;
    const auto ixals = static_cast<std::int16_t>(U16(p));
    if (ixals > 0) return std::nullopt;  // another workbook
    const auto first = static_cast<std::int16_t>(U16(p + 10));
    const auto last = static_cast<std::int16_t>(U16(p + 12));
    const std::optional<int> sheet = LocalSheet(first, last, sheets);
    if (!sheet) return std::nullopt;
    area.sheet = *sheet;
    p += 14;
    if (base == 0x1A) {
      area.firstRow = area.lastRow = U16(p) & 0x3FFF;
      area.firstCol = area.lastCol = p[2];
    } else {
      area.firstRow = U16(p) & 0x3FFF;
      area.lastRow = U16(p + 2) & 0x3FFF;
      area.firstCol = p[4];
      area.lastCol = p[5];
    }
  }
  if (area.firstRow > area.lastRow || area.firstCol > area.lastCol || area.lastCol > 0xFF)
    return std::nullopt;
  return area;
}

}  // namespace zumt::sheet::biff
