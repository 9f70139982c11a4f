#pragma once
// In-memory stand-ins for the connection and the query: a "workbook" is a
// set of query results keyed by the exact SQL text, so a test also catches a
// query text that differs from the fixed ones.

#include <cctype>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "verification/data_access.h"

namespace zumt::fake {

using Value = std::optional<std::string>;  // nullopt is the null value

struct Result {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
};

struct Workbook {
  std::map<std::string, Result> results;  // SQL text -> result; other SQL fails
};

// Workbooks by file name (what follows the last "/" of DBQ).
using Library = std::map<std::string, Workbook>;

class FakeConnection : public Connection {
 public:
  explicit FakeConnection(const Library& library) : library_(library) {}
  void SetConnectionString(const std::string& text) override { text_ = text; }
  const std::string& ConnectionString() const override { return text_; }
  void Open() override {
    const std::size_t dbq = text_.find("DBQ=");
    std::string path = dbq == std::string::npos ? "" : text_.substr(dbq + 4, text_.find(';', dbq) - dbq - 4);
    const std::string name = path.substr(path.rfind('/') + 1);
    auto it = library_.find(name);
    if (it == library_.end()) throw DataError("cannot open '" + name + "'");
    open_ = &it->second;
  }
  void Close() override { open_ = nullptr; }
  bool IsOpen() const override { return open_ != nullptr; }
  const Workbook* Current() const { return open_; }

 private:
  const Library& library_;
  std::string text_;
  const Workbook* open_ = nullptr;
};

class FakeQuery : public Query {
 public:
  explicit FakeQuery(const FakeConnection& connection) : connection_(connection) {}
  void ClearSql() override { sql_.clear(); }
  void AddSqlLine(const std::string& line) override { sql_ += sql_.empty() ? line : "\n" + line; }
  std::string SqlText() const override { return sql_; }

  void Open() override {
    if (open_) return;
    if (!connection_.Current()) throw DataError("Connection is closed");
    auto it = connection_.Current()->results.find(sql_);
    if (it == connection_.Current()->results.end()) throw DataError("unexpected SQL: " + sql_);
    result_ = it->second;
    open_ = true;
    Apply();
  }
  void Close() override {
    open_ = false;
    visible_.clear();
  }
  bool IsOpen() const override { return open_; }
  bool IsEmpty() const override {
    Need();
    return visible_.empty();
  }
  Variant FieldValue(const std::string& name) const override {
    const std::size_t column = Column(name);
    if (Eof() || !result_.rows[visible_[position_]][column]) return Variant();
    return Variant(sheet::Cell::MakeText(*result_.rows[visible_[position_]][column]));
  }
  std::string FieldText(const std::string& name) const override {
    const Variant v = FieldValue(name);
    return v.IsNull() ? std::string() : v.Cell().text;
  }
  std::string FieldText(std::size_t position) const override {
    Need();
    if (position >= result_.columns.size()) throw DataError("no such field");
    return FieldText(result_.columns[position]);
  }
  void SetFilter(const std::string& expression) override {
    filter_ = expression;
    if (filtered_) Apply();
  }
  const std::string& Filter() const override { return filter_; }
  void SetFiltered(bool on) override {
    filtered_ = on;
    Apply();
  }
  bool Filtered() const override { return filtered_; }
  void Next() override {
    Need();
    if (position_ < visible_.size()) ++position_;
  }
  bool Eof() const override {
    Need();
    return position_ >= visible_.size();
  }

  int filterApplications = 0;     // times a non-empty filter was applied
  std::string failOnFilterValue;  // a filter naming this value throws

 private:
  void Need() const {
    if (!open_) throw DataError("Cannot perform this operation on a closed dataset");
  }
  std::size_t Column(const std::string& name) const {
    Need();
    for (std::size_t i = 0; i < result_.columns.size(); ++i)
      if (Lower(result_.columns[i]) == Lower(name)) return i;
    throw DataError(name + ": Field not found");
  }
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  }
  // Filters of the form " column = 'value'".
  void Apply() {
    visible_.clear();
    position_ = 0;
    if (!open_) return;
    std::string column, value;
    const bool filtering = filtered_ && filter_.find('=') != std::string::npos;
    if (filtering) {
      ++filterApplications;
      const std::size_t eq = filter_.find('=');
      column = filter_.substr(0, eq);
      column.erase(0, column.find_first_not_of(' '));
      column.erase(column.find_last_not_of(' ') + 1);
      const std::size_t q1 = filter_.find('\'', eq), q2 = filter_.rfind('\'');
      value = filter_.substr(q1 + 1, q2 - q1 - 1);
      if (!failOnFilterValue.empty() && value == failOnFilterValue) throw DataError("filter refused");
    }
    const std::size_t c = filtering ? Column(column) : 0;
    for (std::size_t i = 0; i < result_.rows.size(); ++i)
      if (!filtering || Lower(result_.rows[i][c].value_or("")) == Lower(value)) visible_.push_back(i);
  }

  const FakeConnection& connection_;
  std::string sql_;
  bool open_ = false;
  Result result_;
  std::vector<std::size_t> visible_;
  std::size_t position_ = 0;
  std::string filter_;
  bool filtered_ = false;
};

}  // namespace zumt::fake
