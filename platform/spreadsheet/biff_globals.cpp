#include "platform/spreadsheet/biff_globals.h"

#include <cstdio>
#include <unordered_map>

#include "platform/spreadsheet/biff_formats.h"
#include "platform/spreadsheet/biff_names.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet::biff {

namespace {

std::string Hex4(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v & 0xFFFF);
  return buf;
}

// Code page numbers of the CODEPAGE record that are not Windows code pages.
int NormalizeCodepage(int cp) {
  switch (cp) {
    case 367:
      return 1252;  // US-ASCII
    case 1200:
      return 1252;  // UTF-16 is meaningless for 8-bit strings
    case 32768:
      return 10000;  // Apple Roman
    case 32769:
      return 1252;  // Windows 1252 (Excel's own number)
    default:
      return cp;
  }
}

void ParseBoundSheet(const Record& rec, Globals& g) {
  if (rec.data.size() < 6) return;
  SheetInfo s;
  s.offset = U32(&rec.data[0]);
  s.worksheet = rec.data[5] == 0x00;
  if (!ReadString(rec.data, 6, 1, g.biff, g.codepage, s.name)) s.name.clear();
  g.sheets.push_back(std::move(s));
}

void ParseExternSheet(Bytes stream, std::size_t& pos, const Record& rec, Links& links) {
  const std::vector<Bytes> pieces = WithContinues(stream, pos, rec.data);
  PieceReader reader(pieces, 0, 0);
  std::uint16_t count, supbook, first, last;
  if (!reader.U16(count)) return;
  for (std::size_t i = 0; i < count && reader.U16(supbook) && reader.U16(first) && reader.U16(last); ++i) {
    links.xti.push_back({supbook, static_cast<std::int16_t>(first), static_cast<std::int16_t>(last)});
  }
}

}  // namespace

int WorkbookBiffVersion(Bytes stream) {
  if (stream.size() < 4) throw SpreadsheetError("workbook stream is too short for a BOF record");
  const std::uint16_t type = U16(&stream[0]);
  if (type == 0x0009 || type == 0x0209 || type == 0x0409)
    throw SpreadsheetError("unsupported format: BIFF2-4");
  if (type != rt::kBof) throw SpreadsheetError("workbook stream does not start with a BOF record");
  std::size_t pos = 0;
  Record rec;
  NextRecord(stream, pos, rec);
  if (rec.data.size() < 4) throw SpreadsheetError("truncated BOF record at offset 0");
  const std::uint16_t version = U16(&rec.data[0]);
  if (version == 0x0600) return 8;
  if (version == 0x0500) return 5;
  if (version == 0x0400 || version == 0x0300 || version == 0x0200)
    throw SpreadsheetError("unsupported format: BIFF2-4");
  throw SpreadsheetError("unsupported BIFF version " + Hex4(version));
}

Globals ParseGlobals(Bytes stream, int biff) {
  Globals g;
  g.biff = biff;
  Links links;
  std::vector<NameRecord> names;
  std::unordered_map<int, bool> formatIsDate;  // FORMAT records: id -> date
  std::vector<std::uint16_t> xfFormat;
  bool sawCodepage = false;

  std::size_t pos = 0;
  Record rec;
  NextRecord(stream, pos, rec);  // the BOF, checked by WorkbookBiffVersion
  while (NextRecord(stream, pos, rec)) {
    const Bytes d = rec.data;
    switch (rec.type) {
      case rt::kEof:
        pos = stream.size();
        break;
      case rt::kFilePass:
        // A decrypted stream has this record's type cleared; one still here is encrypted.
        throw SpreadsheetError("encrypted workbook");
      case rt::kCodePage:
        if (d.size() >= 2 && !sawCodepage) {
          g.codepage = NormalizeCodepage(U16(&d[0]));
          sawCodepage = true;
        }
        break;
      case rt::kDateMode:
        if (d.size() >= 2) g.date1904 = U16(&d[0]) == 1;
        break;
      case rt::kBoundSheet:
        ParseBoundSheet(rec, g);
        break;
      case rt::kSst:
        if (biff >= 8) {
          g.sst.Index(stream, WithContinues(stream, pos, d));
        }
        break;
      case rt::kSupBook:
        // ctab(2) cch(2): cch 0x0401 marks the workbook itself.
        links.supbookLocal.push_back(d.size() >= 4 && U16(&d[2]) == 0x0401);
        break;
      case rt::kExternSheet:
        if (biff >= 8) ParseExternSheet(stream, pos, rec, links);
        break;
      case rt::kName:
        if (auto n = ParseName(d, biff, g.codepage)) names.push_back(std::move(*n));
        break;
      case rt::kFormat:
        if (d.size() >= 2) {
          std::string text;
          if (ReadString(d, 2, biff >= 8 ? 2 : 1, biff, g.codepage, text)) {
            formatIsDate[U16(&d[0])] = IsDateFormatString(text);
          }
        }
        break;
      case rt::kXf:
        if (d.size() >= 4) xfFormat.push_back(U16(&d[2]));
        break;
      default:
        break;
    }
  }

  g.xfIsDate.reserve(xfFormat.size());
  for (std::uint16_t id : xfFormat) {
    const auto it = formatIsDate.find(id);
    g.xfIsDate.push_back(it != formatIsDate.end() ? it->second : IsBuiltinDateFormat(id));
  }

  // Tables: the names that resolve to one area; a workbook-scope name wins
  // over a sheet-scope one of the same spelling, otherwise the first stays.
  std::unordered_map<std::string, std::size_t> byKey;
  for (const NameRecord& n : names) {
    if (n.builtin || n.name.empty()) continue;
    const std::optional<Area> area = ResolveName(n, biff, links, g.sheets);
    if (!area) continue;
    const std::string key = FoldCase(n.name);
    const auto it = byKey.find(key);
    if (it == byKey.end()) {
      byKey.emplace(key, g.tables.size());
      g.tables.push_back({n.name, n.itab, *area});
    } else if (n.itab == 0 && g.tables[it->second].scope != 0) {
      g.tables[it->second] = {n.name, n.itab, *area};
    }
  }
  return g;
}

std::string FoldCase(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c + 32));
    } else if ((c == 0xD0 || c == 0xC3) && i + 1 < s.size()) {
      // Two-byte sequences: U+0400..U+043F (Cyrillic) and U+00C0..U+00FF (Latin-1).
      unsigned cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
      if (cp >= 0x0410 && cp <= 0x042F) {
        cp += 0x20;
      } else if (cp >= 0x0400 && cp <= 0x040F) {
        cp += 0x50;
      } else if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) {
        cp += 0x20;
      }
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
      ++i;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out;
}

}  // namespace zumt::sheet::biff
