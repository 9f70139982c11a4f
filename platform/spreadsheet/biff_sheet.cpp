#include "platform/spreadsheet/biff_sheet.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::sheet::biff {

namespace {

// Fills the cells of one area while the sheet's records go by. Every cell
// record inside the area lies in a used row, so its value is decoded at
// once and never wasted; the rows grow as far as the cells reach.
class AreaFiller {
 public:
  AreaFiller(Bytes stream, const Globals& g, const TableName& t, const TableLimits& limits, bool deferText)
      : stream_(stream),
        g_(g),
        t_(t),
        a_(t.area),
        limits_(limits),
        ncols_(a_.lastCol - a_.firstCol + 1),
        defer_(deferText) {
    out_.header.resize(ncols_);
  }

  bool RowInArea(std::uint32_t r) const { return r >= a_.firstRow && r <= a_.lastRow; }
  bool InArea(std::uint32_t r, std::uint32_t c) const {
    return RowInArea(r) && c >= a_.firstCol && c <= a_.lastCol;
  }

  // Notes a non-blank cell record anywhere on the sheet.
  void Used(std::uint32_t r) {
    if (static_cast<long>(r) > lastUsed_) lastUsed_ = r;
  }

  // The cell at (r, c), which must be inside the area, emptied for a new value.
  Cell& At(std::uint32_t r, std::uint32_t c) {
    Cell* cell;
    if (r == a_.firstRow) {
      cell = &out_.header[c - a_.firstCol];
    } else {
      const std::size_t i = r - a_.firstRow - 1;
      if (i >= out_.rows.size()) Grow(i + 1);
      cell = &out_.rows[i][c - a_.firstCol];
    }
    textBytes_ -= cell->text.size();
    cell->text.clear();
    cell->type = CellType::Empty;
    cell->number = 0;
    return *cell;
  }

  void SetNumber(std::uint32_t r, std::uint32_t c, std::uint16_t xf, double v) {
    Cell& cell = At(r, c);
    const bool date = xf < g_.xfIsDate.size() && g_.xfIsDate[xf];
    cell.type = date ? CellType::Date : CellType::Number;
    cell.number = date && g_.date1904 ? v + 1462 : v;
  }

  void Set(std::uint32_t r, std::uint32_t c, CellType type, double v) {
    Cell& cell = At(r, c);
    cell.type = type;
    cell.number = v;
  }

  void SetSharedString(std::uint32_t r, std::uint32_t c, std::uint32_t index) {
    Cell& cell = At(r, c);
    if (index >= g_.sst.size()) {
      throw SpreadsheetError("shared string index " + std::to_string(index) + " out of range in sheet '" +
                             g_.sheets[a_.sheet].name + "'");
    }
    if (defer_ && r != a_.firstRow) {
      cell.type = CellType::PendingText;
      cell.number = index;
      return;
    }
    cell.type = CellType::Text;
    g_.sst.Append(index, cell.text);
    CountText(cell);
  }

  // LABEL, RSTRING: the string after row, column and XF.
  void SetLabel(std::uint32_t r, std::uint32_t c, Bytes rec) {
    Cell& cell = At(r, c);
    cell.type = CellType::Text;
    ReadString(rec, 6, 2, g_.biff, g_.codepage, cell.text);
    CountText(cell);
  }

  // STRING (the text result of the formula at (r, c)) at stream offset `pos`.
  void SetFormulaString(std::uint32_t r, std::uint32_t c, Bytes rec, std::size_t pos) {
    Cell& cell = At(r, c);
    cell.type = CellType::Text;
    if (rec.size() < 2) return;
    const std::size_t cch = U16(&rec[0]);
    if (g_.biff >= 8) {
      const std::vector<Bytes> pieces = WithContinues(stream_, pos, rec);
      PieceReader reader(pieces, 0, 2);
      reader.UnicodeBody(cch, &cell.text);
    } else {
      Append8Bit(cell.text, &rec[2], std::min(cch, rec.size() - 2), g_.codepage);
    }
    CountText(cell);
  }

  // The rows up to the sheet's last used row (an area's rows past the last
  // cell inside it may still be used by cells beside it).
  AreaCells Finish() {
    const long last = std::min<long>(a_.lastRow, lastUsed_);
    const std::size_t nrows =
        last > static_cast<long>(a_.firstRow) ? static_cast<std::size_t>(last - a_.firstRow) : 0;
    if (nrows > out_.rows.size()) Grow(nrows);
    out_.textBytes = textBytes_;
    return std::move(out_);
  }

 private:
  void Grow(std::size_t nrows) {
    if (nrows > limits_.maxCells / ncols_) {
      throw SpreadsheetError("table " + t_.name + " is too large: " + std::to_string(nrows) + " rows of " +
                             std::to_string(ncols_) + " columns");
    }
    // One allocation per new row (a resize with a prototype row would build
    // and copy one more).
    while (out_.rows.size() < nrows) out_.rows.emplace_back(ncols_);
  }

  void CountText(const Cell& cell) {
    textBytes_ += cell.text.size();
    if (textBytes_ > limits_.maxTextBytes) {
      throw SpreadsheetError("table " + t_.name + " holds too much text for the size of the workbook");
    }
  }

  Bytes stream_;
  const Globals& g_;
  const TableName& t_;
  const Area& a_;
  const TableLimits& limits_;
  const std::size_t ncols_;
  const bool defer_;
  AreaCells out_;
  long lastUsed_ = -1;
  std::size_t textBytes_ = 0;
};

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

// The pending texts of one table: shared strings decoded on demand, under
// the same limit on the table's text as the texts decoded while reading.
class SharedStringTexts final : public PendingTexts {
 public:
  SharedStringTexts(const Globals& g, const TableName& t, const TableLimits& limits, std::size_t used)
      : g_(g), table_(t.name), limit_(limits.maxTextBytes), used_(used) {}

  void Resolve(Cell& cell) const override {
    if (cell.type != CellType::PendingText) return;
    cell.type = CellType::Text;
    cell.text.clear();
    g_.sst.Append(static_cast<std::uint32_t>(cell.number), cell.text);
    cell.number = 0;
    used_ += cell.text.size();
    if (used_ > limit_) throw SpreadsheetError("table " + table_ + " holds too much text for the size of the workbook");
  }

 private:
  const Globals& g_;
  std::string table_;
  std::size_t limit_;
  mutable std::size_t used_;
};

}  // namespace

AreaCells ReadAreaCells(Bytes stream, const Globals& g, const TableName& t, const TableLimits& limits,
                        bool deferText) {
  const SheetInfo& sheet = g.sheets[t.area.sheet];
  std::size_t pos = sheet.offset;
  Record rec;
  if (pos >= stream.size() || !NextRecord(stream, pos, rec) || rec.type != rt::kBof) {
    throw SpreadsheetError("no BOF record for sheet '" + sheet.name + "' at offset " +
                           std::to_string(sheet.offset));
  }
  AreaFiller area(stream, g, t, limits, deferText);
  int depth = 0;              // nested substreams (embedded charts) hold no cells of the sheet
  bool expectString = false;  // a FORMULA with a text result waits for its STRING record
  bool stringInArea = false;
  std::uint32_t stringRow = 0, stringCol = 0;
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
    // The STRING may follow the FORMULA directly or after its SHRFMLA, ARRAY or TABLE record.
    if (expectString && rec.type != rt::kString && rec.type != rt::kShrFmla && rec.type != rt::kArray &&
        rec.type != rt::kTable && rec.type != rt::kContinue) {
      expectString = false;
    }
    // Cell records start with row, column and XF; shorter ones are passed over.
    const std::uint32_t r = d.size() >= 6 ? U16(&d[0]) : 0;
    const std::uint32_t c = d.size() >= 6 ? U16(&d[2]) : 0;
    switch (rec.type) {
      case rt::kNumber:
        if (d.size() < 14) break;
        area.Used(r);
        if (area.InArea(r, c)) area.SetNumber(r, c, U16(&d[4]), F64(&d[6]));
        break;
      case rt::kRk:
        if (d.size() < 10) break;
        area.Used(r);
        if (area.InArea(r, c)) area.SetNumber(r, c, U16(&d[4]), RkValue(U32(&d[6])));
        break;
      case rt::kMulRk: {
        if (d.size() < 12) break;
        area.Used(r);
        if (!area.RowInArea(r)) break;
        const std::size_t n = (d.size() - 6) / 6;  // the length counts, not the last-column field
        for (std::size_t i = 0; i < n; ++i) {
          const std::uint32_t col = c + static_cast<std::uint32_t>(i);
          const std::uint8_t* p = &d[4 + 6 * i];
          if (area.InArea(r, col)) area.SetNumber(r, col, U16(p), RkValue(U32(p + 2)));
        }
        break;
      }
      case rt::kLabelSst:
        if (d.size() < 10) break;
        area.Used(r);
        if (area.InArea(r, c)) area.SetSharedString(r, c, U32(&d[6]));
        break;
      case rt::kLabel:
      case rt::kRString:
        if (d.size() < 8) break;
        area.Used(r);
        if (area.InArea(r, c)) area.SetLabel(r, c, d);
        break;
      case rt::kBoolErr:
        if (d.size() < 8) break;
        area.Used(r);
        if (area.InArea(r, c)) {
          if (d[7]) {
            area.Set(r, c, CellType::Error, d[6]);
          } else {
            area.Set(r, c, CellType::Boolean, d[6] ? 1 : 0);
          }
        }
        break;
      case rt::kFormula: {
        if (d.size() < 20) break;
        area.Used(r);
        const std::uint8_t* v = &d[6];
        const bool inArea = area.InArea(r, c);
        if (U16(v + 6) != 0xFFFF) {
          if (inArea) area.SetNumber(r, c, U16(&d[4]), F64(v));
        } else if (v[0] == 0) {  // text: in the STRING record that follows
          expectString = true;
          stringInArea = inArea;
          stringRow = r;
          stringCol = c;
          if (inArea) area.Set(r, c, CellType::Text, 0);  // stays empty text without a STRING
        } else if (inArea) {
          if (v[0] == 1) {
            area.Set(r, c, CellType::Boolean, v[2] ? 1 : 0);
          } else if (v[0] == 2) {
            area.Set(r, c, CellType::Error, v[2]);
          } else {
            area.Set(r, c, CellType::Text, 0);  // an empty text
          }
        }
        break;
      }
      case rt::kString:
        if (expectString && stringInArea) area.SetFormulaString(stringRow, stringCol, d, pos);
        expectString = false;
        break;
      default:
        break;
    }
  }
  return area.Finish();
}

Table ReadTableFromSheet(Bytes stream, const Globals& g, const TableName& t, const TableLimits& limits,
                         const ReadOptions& options) {
  AreaCells cells = ReadAreaCells(stream, g, t, limits, options.deferText);
  Table table;
  table.name = t.name;
  table.columns.reserve(cells.header.size());
  for (std::size_t i = 0; i < cells.header.size(); ++i)
    table.columns.push_back(HeaderText(cells.header[i], i));
  table.rows = std::move(cells.rows);
  if (!options.deferText) return table;

  table.pending = std::make_shared<SharedStringTexts>(g, t, limits, cells.textBytes);
  std::vector<std::string> now;
  for (const std::string& name : options.decodeNow) now.push_back(FoldCase(name));
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (std::find(now.begin(), now.end(), FoldCase(table.columns[i])) == now.end()) continue;
    for (Row& row : table.rows) table.Resolve(row[i]);
  }
  return table;
}

}  // namespace zumt::sheet::biff
