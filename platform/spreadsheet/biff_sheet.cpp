#include "platform/spreadsheet/biff_sheet.h"

#include <cstdio>
#include <optional>

#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet::biff {

namespace {

enum class Kind : std::uint8_t { Number, Boolean, Error, SharedString, Label, FormulaString, EmptyText };

// A cell inside the area as found in the sheet, before its text is decoded.
struct Entry {
  std::uint32_t row;
  std::uint16_t col;
  std::uint16_t xf;
  Kind kind;
  double number;    // Number, Boolean, Error
  std::size_t ref;  // SharedString: SST index; Label, FormulaString: record offset (0: none)
};

struct SheetScan {
  std::vector<Entry> entries;
  long lastUsedRow = -1;
};

SheetScan ScanSheet(Bytes stream, const Globals& g, const Area& area) {
  const SheetInfo& sheet = g.sheets[area.sheet];
  std::size_t pos = sheet.offset;
  Record rec;
  if (pos >= stream.size() || !NextRecord(stream, pos, rec) || rec.type != rt::kBof) {
    throw SpreadsheetError("no BOF record for sheet '" + sheet.name + "' at offset " +
                           std::to_string(sheet.offset));
  }
  SheetScan scan;
  const auto inArea = [&area](std::uint32_t r, std::uint32_t c) {
    return r >= area.firstRow && r <= area.lastRow && c >= area.firstCol && c <= area.lastCol;
  };
  const auto used = [&scan](std::uint32_t r) {
    if (static_cast<long>(r) > scan.lastUsedRow) scan.lastUsedRow = r;
  };
  int depth = 0;               // nested substreams (embedded charts) are not cells
  bool expectString = false;   // a FORMULA with a string result waits for its STRING
  std::optional<std::size_t> pendingEntry;
  while (NextRecord(stream, pos, rec)) {
    const Bytes d = rec.data;
    if (rec.type == rt::kBof) {
      ++depth;
      continue;
    }
    if (rec.type == rt::kEof) {
      if (depth == 0) break;
      --depth;
      continue;
    }
    if (depth > 0) continue;
    if (expectString && rec.type != rt::kString && rec.type != rt::kShrFmla && rec.type != rt::kArray &&
        rec.type != rt::kTable && rec.type != rt::kContinue) {
      expectString = false;
      pendingEntry.reset();
    }
    switch (rec.type) {
      case rt::kNumber:
        if (d.size() >= 14) {
          const std::uint32_t r = U16(&d[0]), c = U16(&d[2]);
          used(r);
          if (inArea(r, c)) scan.entries.push_back({r, static_cast<std::uint16_t>(c), U16(&d[4]), Kind::Number, F64(&d[6]), 0});
        }
        break;
      case rt::kRk:
        if (d.size() >= 10) {
          const std::uint32_t r = U16(&d[0]), c = U16(&d[2]);
          used(r);
          if (inArea(r, c))
            scan.entries.push_back({r, static_cast<std::uint16_t>(c), U16(&d[4]), Kind::Number, RkValue(U32(&d[6])), 0});
        }
        break;
      case rt::kMulRk:
        if (d.size() >= 12) {
          const std::uint32_t r = U16(&d[0]), c0 = U16(&d[2]);
          const std::size_t n = (d.size() - 6) / 6;  // the length counts, not the last-column field
          used(r);
          if (r >= area.firstRow && r <= area.lastRow) {
            for (std::size_t i = 0; i < n; ++i) {
              const std::uint32_t c = c0 + static_cast<std::uint32_t>(i);
              if (c < area.firstCol || c > area.lastCol) continue;
              const std::uint8_t* p = &d[4 + 6 * i];
              scan.entries.push_back({r, static_cast<std::uint16_t>(c), U16(p), Kind::Number, RkValue(U32(p + 2)), 0});
            }
          }
        }
        break;
      case rt::kLabelSst:
        if (d.size() >= 10) {
          const std::uint32_t r = U16(&d[0]), c = U16(&d[2]);
          used(r);
          if (inArea(r, c)) scan.entries.push_back({r, static_cast<std::uint16_t>(c), U16(&d[4]), Kind::SharedString, 0, U32(&d[6])});
        }
        break;
      case rt::kLabel:
      case rt::kRString:
        if (d.size() >= 8) {
          const std::uint32_t r = U16(&d[0]), c = U16(&d[2]);
          used(r);
          if (inArea(r, c)) scan.entries.push_back({r, static_cast<std::uint16_t>(c), U16(&d[4]), Kind::Label, 0, rec.offset});
        }
        break;
      case rt::kBoolErr:
        if (d.size() >= 8) {
          const std::uint32_t r = U16(&d[0]), c = U16(&d[2]);
          used(r);
          if (inArea(r, c))
            scan.entries.push_back({r, static_cast<std::uint16_t>(c), U16(&d[4]), d[7] ? Kind::Error : Kind::Boolean,
                                    static_cast<double>(d[7] ? d[6] : (d[6] ? 1 : 0)), 0});
        }
        break;
      case rt::kFormula:
        if (d.size() >= 20) {
          const std::uint32_t r = U16(&d[0]), c = U16(&d[2]);
          const std::uint16_t xf = U16(&d[4]);
          const std::uint8_t* v = &d[6];
          used(r);
          const bool keep = inArea(r, c);
          Entry e{r, static_cast<std::uint16_t>(c), xf, Kind::Number, 0, 0};
          if (U16(v + 6) != 0xFFFF) {
            e.number = F64(v);
          } else if (v[0] == 0) {
            e.kind = Kind::FormulaString;
            expectString = true;
            if (keep) pendingEntry = scan.entries.size();
          } else if (v[0] == 1) {
            e.kind = Kind::Boolean;
            e.number = v[2] ? 1 : 0;
          } else if (v[0] == 2) {
            e.kind = Kind::Error;
            e.number = v[2];
          } else {
            e.kind = Kind::EmptyText;
          }
          if (keep) scan.entries.push_back(e);
        }
        break;
      case rt::kString:
        if (pendingEntry) scan.entries[*pendingEntry].ref = rec.offset;
        expectString = false;
        pendingEntry.reset();
        break;
      default:
        break;
    }
  }
  return scan;
}

std::string HeaderText(const Cell& c, std::size_t index) {
  char buf[32];
  switch (c.type) {
    case CellType::Text:
      if (!c.text.empty()) return c.text;
      break;
    case CellType::Number:
    case CellType::Date:
      std::snprintf(buf, sizeof buf, "%.15g", c.number);
      return buf;
    case CellType::Boolean:
      return c.number != 0 ? "TRUE" : "FALSE";
    default:
      break;
  }
  return "F" + std::to_string(index + 1);
}

}  // namespace

AreaCells ReadAreaCells(Bytes stream, const Globals& g, const TableName& t, const TableLimits& limits) {
  const Area& a = t.area;
  const SheetScan scan = ScanSheet(stream, g, a);
  const std::size_t ncols = a.lastCol - a.firstCol + 1;
  const long last = std::min<long>(a.lastRow, scan.lastUsedRow);
  const std::size_t nrows = last > static_cast<long>(a.firstRow) ? static_cast<std::size_t>(last - a.firstRow) : 0;
  if (nrows > limits.maxCells / ncols) {
    throw SpreadsheetError("table " + t.name + " is too large: " + std::to_string(nrows) + " rows of " +
                           std::to_string(ncols) + " columns");
  }
  AreaCells table;
  Row& header = table.header;
  header.resize(ncols);
  table.rows.assign(nrows, Row(ncols));
  std::size_t textBytes = 0;
  for (const Entry& e : scan.entries) {
    Cell* cell;
    if (e.row == a.firstRow) {
      cell = &header[e.col - a.firstCol];
    } else if (e.row - a.firstRow - 1 < nrows) {
      cell = &table.rows[e.row - a.firstRow - 1][e.col - a.firstCol];
    } else {
      continue;
    }
    cell->text.clear();
    cell->number = 0;
    switch (e.kind) {
      case Kind::Number: {
        const bool date = e.xf < g.xfIsDate.size() && g.xfIsDate[e.xf];
        cell->type = date ? CellType::Date : CellType::Number;
        cell->number = date && g.date1904 ? e.number + 1462 : e.number;
        break;
      }
      case Kind::Boolean:
        cell->type = CellType::Boolean;
        cell->number = e.number;
        break;
      case Kind::Error:
        cell->type = CellType::Error;
        cell->number = e.number;
        break;
      case Kind::EmptyText:
        cell->type = CellType::Text;
        break;
      case Kind::SharedString:
        cell->type = CellType::Text;
        if (e.ref > 0xFFFFFFFFu || !g.sst.Append(static_cast<std::uint32_t>(e.ref), cell->text)) {
          throw SpreadsheetError("shared string index " + std::to_string(e.ref) + " out of range in sheet '" +
                                 g.sheets[a.sheet].name + "'");
        }
        break;
      case Kind::Label: {
        cell->type = CellType::Text;
        std::size_t p = e.ref;
        Record rec;
        NextRecord(stream, p, rec);
        ReadString(rec.data, 6, 2, g.biff, g.codepage, cell->text);
        break;
      }
      case Kind::FormulaString: {
        cell->type = CellType::Text;
        if (e.ref == 0) break;  // no STRING record came: an empty text
        std::size_t p = e.ref;
        Record rec;
        NextRecord(stream, p, rec);
        if (rec.data.size() < 2) break;
        const std::size_t cch = U16(&rec.data[0]);
        if (g.biff >= 8) {
          const std::vector<Bytes> pieces = WithContinues(stream, p, rec.data);
          PieceReader reader(pieces, 0, 2);
          reader.UnicodeBody(cch, &cell->text);
        } else {
          Append8Bit(cell->text, &rec.data[2], std::min(cch, rec.data.size() - 2), g.codepage);
        }
        break;
      }
    }
    textBytes += cell->text.size();
    if (textBytes > limits.maxTextBytes) {
      throw SpreadsheetError("table " + t.name + " holds too much text for the size of the workbook");
    }
  }
  return table;
}

Table ReadTableFromSheet(Bytes stream, const Globals& g, const TableName& t, const TableLimits& limits) {
  AreaCells cells = ReadAreaCells(stream, g, t, limits);
  Table table;
  table.name = t.name;
  table.columns.reserve(cells.header.size());
  for (std::size_t i = 0; i < cells.header.size(); ++i) table.columns.push_back(HeaderText(cells.header[i], i));
  table.rows = std::move(cells.rows);
  return table;
}

}  // namespace zumt::sheet::biff
