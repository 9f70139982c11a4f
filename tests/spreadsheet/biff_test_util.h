#pragma once

// Helpers of the workbook reader tests: tables as text (the table-dump line
// format), and a builder of small BIFF8/BIFF5 workbooks in a compound file
// for the record layouts that real writers rarely produce.

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/spreadsheet/cell.h"
#include "tools/table_text.h"

namespace zumt::sheet::testutil {

using Bytes = std::vector<std::uint8_t>;

using tabletext::Dump;
using tabletext::Escape;
using tabletext::Token;

// ---- byte builders ----

inline void Put16(Bytes& b, std::uint16_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, static_cast<std::uint16_t>(v));
  Put16(b, static_cast<std::uint16_t>(v >> 16));
}
inline void PutF64(Bytes& b, double v) {
  std::uint64_t bits;
  static_assert(sizeof bits == sizeof v);
  __builtin_memcpy(&bits, &v, sizeof v);
  Put32(b, static_cast<std::uint32_t>(bits));
  Put32(b, static_cast<std::uint32_t>(bits >> 32));
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
inline Bytes U16(std::uint16_t v) {
  Bytes b;
  Put16(b, v);
  return b;
}
inline Bytes U32(std::uint32_t v) {
  Bytes b;
  Put32(b, v);
  return b;
}
inline Bytes F64(double v) {
  Bytes b;
  PutF64(b, v);
  return b;
}
inline Bytes Raw(const std::string& s) { return Bytes(s.begin(), s.end()); }
// UTF-16LE of a UTF-8 text (BMP only, enough for tests) or of raw units.
inline Bytes Utf16(std::initializer_list<std::uint16_t> units) {
  Bytes b;
  for (std::uint16_t u : units) Put16(b, u);
  return b;
}
inline Bytes Utf16(const std::string& utf8) {
  Bytes b;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::uint32_t cp;
    if (c < 0x80) {
      cp = c;
      i += 1;
    } else if (c < 0xE0) {
      cp = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      i += 2;
    } else {
      cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      i += 3;
    }
    Put16(b, static_cast<std::uint16_t>(cp));
  }
  return b;
}

inline Bytes Rec(std::uint16_t type, const Bytes& data) {
  Bytes b;
  Put16(b, type);
  Put16(b, static_cast<std::uint16_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// BIFF8 XLUnicodeString: 16-bit count, flags, characters (UTF-16 when wide).
inline Bytes Str8(const std::string& utf8, bool wide = true) {
  const Bytes chars = wide ? Utf16(utf8) : Raw(utf8);
  return Cat({U16(static_cast<std::uint16_t>(wide ? chars.size() / 2 : chars.size())),
              Bytes{static_cast<std::uint8_t>(wide ? 1 : 0)}, chars});
}

// Cell records (row, col, xf first).
inline Bytes Head(int r, int c, int xf = 15) { return Cat({U16(r), U16(c), U16(xf)}); }
inline Bytes Number(int r, int c, double v, int xf = 15) {
  return Rec(0x0203, Cat({Head(r, c, xf), F64(v)}));
}
inline Bytes LabelSst(int r, int c, std::uint32_t i) { return Rec(0x00FD, Cat({Head(r, c), U32(i)})); }
inline Bytes Label8(int r, int c, const std::string& s) { return Rec(0x0204, Cat({Head(r, c), Str8(s)})); }
inline Bytes Blank(int r, int c) { return Rec(0x0201, Head(r, c)); }
inline Bytes Bof(std::uint16_t kind, std::uint16_t version = 0x0600) {
  return Rec(0x0809, Cat({U16(version), U16(kind), U16(0), U16(0), U32(0), U32(0)}));
}
inline Bytes Eof() { return Rec(0x000A, {}); }

// ptgArea3d (BIFF8) over rows r1..r2, columns c1..c2 through XTI `ixti`.
inline Bytes Area3d(int ixti, int r1, int r2, int c1, int c2, std::uint8_t ptg = 0x3B) {
  return Cat({Bytes{ptg}, U16(ixti), U16(r1), U16(r2), U16(c1), U16(c2)});
}
// A BIFF8 NAME record with a Latin-1 name.
inline Bytes Name8(const std::string& name, int itab, const Bytes& formula, bool builtin = false) {
  return Rec(0x0018, Cat({U16(builtin ? 0x0020 : 0), Bytes{0, static_cast<std::uint8_t>(name.size())},
                          U16(static_cast<std::uint16_t>(formula.size())), U16(0), U16(itab),
                          Bytes{0, 0, 0, 0}, Bytes{0}, Raw(name), formula}));
}
inline Bytes SelfSupBook() { return Rec(0x01AE, Cat({U16(1), U16(0x0401)})); }
inline Bytes ExternSheet(std::initializer_list<std::initializer_list<int>> xtis) {
  Bytes b = U16(static_cast<std::uint16_t>(xtis.size()));
  for (const auto& x : xtis) {
    for (int v : x) Put16(b, static_cast<std::uint16_t>(v));
  }
  return Rec(0x0017, b);
}

// A workbook stream: globals (BOF, `globals`, one BOUNDSHEET per sheet,
// EOF) and the sheets (BOF, records, EOF), with the sheet offsets filled in.
inline Bytes WorkbookStream(const Bytes& globals, const std::vector<Bytes>& sheets,
                            std::uint16_t version = 0x0600) {
  const bool biff8 = version == 0x0600;
  std::vector<Bytes> boundsheets;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string name = "Sheet" + std::to_string(i + 1);
    Bytes d = Cat({U32(0), Bytes{0, 0}, Bytes{static_cast<std::uint8_t>(name.size())}});
    if (biff8) d.push_back(0);
    const Bytes raw = Raw(name);
    d.insert(d.end(), raw.begin(), raw.end());
    boundsheets.push_back(Rec(0x0085, d));
  }
  Bytes out = Bof(0x0005, version);
  std::vector<std::size_t> patch;
  for (const Bytes& b : boundsheets) {
    patch.push_back(out.size() + 4);
    out.insert(out.end(), b.begin(), b.end());
  }
  out.insert(out.end(), globals.begin(), globals.end());
  const Bytes eof = Eof();
  out.insert(out.end(), eof.begin(), eof.end());
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const auto at = static_cast<std::uint32_t>(out.size());
    for (int k = 0; k < 4; ++k) out[patch[i] + k] = static_cast<std::uint8_t>(at >> (8 * k));
    const Bytes sheet = Cat({Bof(0x0010, version), sheets[i], eof});
    out.insert(out.end(), sheet.begin(), sheet.end());
  }
  return out;
}

// A version-3 compound file (512-byte sectors) holding the streams under
// its root (at most three, of at most 120 sectors in all), each padded with
// zeros to 4096 bytes so that it lives in regular sectors. Give the streams
// in the directory's order: shorter names first.
inline Bytes CompoundFileWithStreams(std::vector<std::pair<std::string, Bytes>> streams) {
  Bytes file(512, 0);
  auto set32 = [](Bytes& b, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) b[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
  };
  const std::uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  std::copy(sig, sig + 8, file.begin());
  file[24] = 0x3E;
  file[26] = 3;
  file[28] = 0xFE;
  file[29] = 0xFF;
  file[30] = 9;
  file[32] = 6;
  set32(file, 44, 1);           // one FAT sector
  set32(file, 48, 1);           // first directory sector
  set32(file, 56, 4096);        // mini stream cutoff
  set32(file, 60, 0xFFFFFFFE);  // no mini FAT
  set32(file, 68, 0xFFFFFFFE);  // no DIFAT sectors
  for (int i = 0; i < 109; ++i) set32(file, 76 + 4 * i, 0xFFFFFFFF);
  set32(file, 76, 0);  // the FAT is sector 0
  // FAT: sector 0 the FAT, 1 the directory, then each stream's sectors in a row.
  Bytes fat(512, 0xFF);
  set32(fat, 0, 0xFFFFFFFD);
  set32(fat, 4, 0xFFFFFFFE);
  Bytes dir(512, 0);
  auto entry = [&](std::size_t index, const std::string& name, std::uint8_t type, std::uint32_t right,
                   std::uint32_t child, std::uint32_t start, std::uint32_t size) {
    const std::size_t at = 128 * index;
    for (std::size_t i = 0; i < name.size(); ++i) dir[at + 2 * i] = static_cast<std::uint8_t>(name[i]);
    dir[at + 64] = static_cast<std::uint8_t>(2 * (name.size() + 1));
    dir[at + 66] = type;
    dir[at + 67] = 1;  // black
    set32(dir, at + 68, 0xFFFFFFFF);
    set32(dir, at + 72, right);
    set32(dir, at + 76, child);
    set32(dir, at + 116, start);
    set32(dir, at + 120, size);
  };
  entry(0, "Root Entry", 5, 0xFFFFFFFF, 1, 0xFFFFFFFE, 0);
  Bytes body;
  std::uint32_t next = 2;
  for (std::size_t k = 0; k < streams.size(); ++k) {
    Bytes& s = streams[k].second;
    if (s.size() < 4096) s.resize(4096, 0);
    const auto sectors = static_cast<std::uint32_t>((s.size() + 511) / 512);
    for (std::uint32_t i = 0; i < sectors; ++i)
      set32(fat, 4 * (next + i), i + 1 == sectors ? 0xFFFFFFFE : next + i + 1);
    // Entries form a chain of right siblings (names of one length sort by their letters).
    const std::uint32_t right = k + 1 < streams.size() ? static_cast<std::uint32_t>(k + 2) : 0xFFFFFFFF;
    entry(k + 1, streams[k].first, 2, right, 0xFFFFFFFF, next, static_cast<std::uint32_t>(s.size()));
    s.resize(static_cast<std::size_t>(sectors) * 512, 0);
    body.insert(body.end(), s.begin(), s.end());
    next += sectors;
  }
  file.insert(file.end(), fat.begin(), fat.end());
  file.insert(file.end(), dir.begin(), dir.end());
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

inline Bytes CompoundFileWith(Bytes stream, const std::string& streamName = "Workbook") {
  return CompoundFileWithStreams({{streamName, std::move(stream)}});
}

}  // namespace zumt::sheet::testutil
