#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/datasource/sql_engine.h"
#include "platform/spreadsheet/workbook.h"
#include "verification/data_access.h"

namespace zumt {

// The connection to the workbook data source: it answers to one data source
// name and opens the workbook that the connection string's "DBQ" names.
class WorkbookConnection : public Connection {
 public:
  explicit WorkbookConnection(std::string dataSourceName);
  ~WorkbookConnection() override;

  void SetConnectionString(const std::string& text) override;
  const std::string& ConnectionString() const override { return connectionString_; }
  void Open() override;
  void Close() override;
  bool IsOpen() const override { return workbook_ != nullptr; }

  // The open workbook as the query engine's table source; throws DataError
  // when the connection is closed.
  const sql::TableSource& Tables() const;

 private:
  class Source;
  std::string dataSourceName_;
  std::string connectionString_;
  std::unique_ptr<sheet::Workbook> workbook_;
  std::unique_ptr<Source> source_;
};

// The query over a WorkbookConnection.
class WorkbookQuery : public Query {
 public:
  explicit WorkbookQuery(const WorkbookConnection& connection);

  void ClearSql() override { sql_.clear(); }
  void AddSqlLine(const std::string& line) override;
  std::string SqlText() const override;

  void Open() override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool IsEmpty() const override;

  Variant FieldValue(const std::string& name) const override;
  std::string FieldText(const std::string& name) const override;
  std::string FieldText(std::size_t position) const override;

  void SetFilter(const std::string& expression) override;
  const std::string& Filter() const override { return filter_; }
  void SetFiltered(bool on) override;
  bool Filtered() const override { return filtered_; }

  void Next() override;
  bool Eof() const override;

 private:
  void ApplyFilter();
  const sheet::Cell* CurrentCell(std::size_t column) const;
  std::size_t ColumnIndex(const std::string& name) const;

  const WorkbookConnection& connection_;
  std::vector<std::string> sql_;
  bool open_ = false;
  sql::ResultSet result_;
  std::vector<std::size_t> visible_;  // indices of the visible rows
  std::size_t position_ = 0;          // index into visible_
  std::string filter_;
  bool filtered_ = false;
};

}  // namespace zumt
