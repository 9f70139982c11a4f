#include "verification/workbook_data_source.h"

#include <cctype>
#include <utility>

namespace zumt {
namespace {

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// Value of one key of a "KEY=value;KEY=value;" connection string (keys
// case-insensitive, blanks around keys ignored); nothing when absent.
bool FindKey(const std::string& text, std::string_view key, std::string& value) {
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string_view pair(text.data() + start, end - start);
    std::size_t eq = pair.find('=');
    if (eq != std::string_view::npos && EqualsNoCase(Trim(pair.substr(0, eq)), key)) {
      value = std::string(pair.substr(eq + 1));
      return true;
    }
    start = end + 1;
  }
  return false;
}

}  // namespace

class WorkbookConnection::Source : public sql::TableSource {
 public:
  explicit Source(const sheet::Workbook& workbook) : workbook_(workbook) {}
  sheet::Table ReadTable(std::string_view name) const override { return workbook_.ReadTable(name); }
  sheet::Table ReadTableFor(std::string_view name, const sheet::ReadOptions& options) const override {
    return workbook_.ReadTable(name, options);
  }

 private:
  const sheet::Workbook& workbook_;
};

WorkbookConnection::WorkbookConnection(std::string dataSourceName)
    : dataSourceName_(std::move(dataSourceName)) {}

WorkbookConnection::~WorkbookConnection() = default;

void WorkbookConnection::SetConnectionString(const std::string& text) { connectionString_ = text; }

void WorkbookConnection::Open() {
  if (IsOpen()) return;
  std::string dsn, dbq;
  if (!FindKey(connectionString_, "DSN", dsn) || !EqualsNoCase(Trim(dsn), dataSourceName_))
    throw DataError("Data source name not found and no default driver specified");
  if (!FindKey(connectionString_, "DBQ", dbq) || dbq.empty())
    throw DataError("No workbook is named in the connection string (DBQ)");
  try {
    workbook_ = sheet::Workbook::Open(dbq);
  } catch (const sheet::SpreadsheetError& e) {
    throw DataError(e.what());
  }
  source_ = std::make_unique<Source>(*workbook_);
}

void WorkbookConnection::Close() {
  source_.reset();
  workbook_.reset();
}

const sql::TableSource& WorkbookConnection::Tables() const {
  if (!source_) throw DataError("Connection is closed");
  return *source_;
}

WorkbookQuery::WorkbookQuery(const WorkbookConnection& connection) : connection_(connection) {}

void WorkbookQuery::AddSqlLine(const std::string& line) { sql_.push_back(line); }

std::string WorkbookQuery::SqlText() const {
  std::string text;
  for (const std::string& line : sql_) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

void WorkbookQuery::Open() {
  if (open_) return;
  result_ = sql::Execute(SqlText(), connection_.Tables());
  open_ = true;
  ApplyFilter();
}

void WorkbookQuery::Close() {
  open_ = false;
  result_ = {};
  visible_.clear();
  position_ = 0;
}

bool WorkbookQuery::IsEmpty() const {
  if (!open_) throw DataError("Cannot perform this operation on a closed dataset");
  return visible_.empty();
}

void WorkbookQuery::ApplyFilter() {
  visible_.clear();
  position_ = 0;
  if (!open_) return;
  if (filtered_ && !Trim(filter_).empty()) {
    const sql::RowFilter filter = sql::RowFilter::Parse(filter_, result_.columns);
    for (std::size_t i = 0; i < result_.rows.size(); ++i)
      if (filter.Matches(result_.rows[i])) visible_.push_back(i);
  } else {
    for (std::size_t i = 0; i < result_.rows.size(); ++i) visible_.push_back(i);
  }
}

void WorkbookQuery::SetFilter(const std::string& expression) {
  filter_ = expression;
  if (filtered_) ApplyFilter();
}

void WorkbookQuery::SetFiltered(bool on) {
  if (on == filtered_) return;
  filtered_ = on;
  try {
    ApplyFilter();
  } catch (...) {
    // A filter that cannot be parsed leaves filtering off, all rows visible.
    filtered_ = false;
    ApplyFilter();
    throw;
  }
}

std::size_t WorkbookQuery::ColumnIndex(const std::string& name) const {
  if (!open_) throw DataError("Cannot perform this operation on a closed dataset");
  for (std::size_t i = 0; i < result_.columns.size(); ++i)
    if (EqualsNoCase(result_.columns[i], name)) return i;
  throw DataError("Field '" + name + "' not found");
}

const sheet::Cell* WorkbookQuery::CurrentCell(std::size_t column) const {
  if (position_ >= visible_.size()) return nullptr;
  const sheet::Row& row = result_.rows[visible_[position_]];
  return column < row.size() ? &row[column] : nullptr;
}

Variant WorkbookQuery::FieldValue(const std::string& name) const {
  const sheet::Cell* cell = CurrentCell(ColumnIndex(name));
  return cell ? Variant(*cell) : Variant();
}

std::string WorkbookQuery::FieldText(const std::string& name) const {
  const sheet::Cell* cell = CurrentCell(ColumnIndex(name));
  return cell ? sql::CellToText(*cell) : std::string();
}

std::string WorkbookQuery::FieldText(std::size_t position) const {
  if (!open_) throw DataError("Cannot perform this operation on a closed dataset");
  if (position >= result_.columns.size())
    throw DataError("Field index " + std::to_string(position) + " out of range");
  const sheet::Cell* cell = CurrentCell(position);
  return cell ? sql::CellToText(*cell) : std::string();
}

void WorkbookQuery::Next() {
  if (!open_) throw DataError("Cannot perform this operation on a closed dataset");
  if (position_ < visible_.size()) ++position_;
}

bool WorkbookQuery::Eof() const {
  if (!open_) throw DataError("Cannot perform this operation on a closed dataset");
  return position_ >= visible_.size();
}

}  // namespace zumt
