#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

#include "platform/spreadsheet/cell.h"

namespace zumt {

// Raised by the data-access objects: a failed open, a query the source
// refuses, a field that is not in the result, converting a null to text.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A field value: either null or one cell value.
class Variant {
 public:
  Variant() = default;
  explicit Variant(sheet::Cell cell) : cell_(std::move(cell)) {}

  bool IsNull() const { return cell_.IsNull(); }
  const sheet::Cell& Cell() const { return cell_; }
  // The value as text; throws DataError for the null value.
  std::string ToText() const;

 private:
  sheet::Cell cell_;
};

// The database connection of the program (one for its whole life).
class Connection {
 public:
  virtual ~Connection() = default;
  virtual void SetConnectionString(const std::string& text) = 0;  // replaces the whole string
  virtual const std::string& ConnectionString() const = 0;
  virtual void Open() = 0;    // synchronous; throws DataError with the source's message
  virtual void Close() = 0;   // closing a closed connection does nothing
  virtual bool IsOpen() const = 0;
};

// The query object: an SQL text plus, while open, a result with a current row.
class Query {
 public:
  virtual ~Query() = default;
  virtual void ClearSql() = 0;
  virtual void AddSqlLine(const std::string& line) = 0;
  virtual std::string SqlText() const = 0;

  virtual void Open() = 0;  // executes the SQL text, positions on the first row
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  virtual bool IsEmpty() const = 0;  // no (visible) rows

  // Value of the current row; null on an empty result or for a missing value.
  // Throws DataError for a field name not in the result.
  virtual Variant FieldValue(const std::string& name) const = 0;
  // The same read as text: a null or an empty result reads as "".
  virtual std::string FieldText(const std::string& name) const = 0;
  virtual std::string FieldText(std::size_t position) const = 0;

  // Filtering: with filtering on, only rows matching the expression are
  // visible and the current row is the first of them.
  virtual void SetFilter(const std::string& expression) = 0;
  virtual const std::string& Filter() const = 0;
  virtual void SetFiltered(bool on) = 0;
  virtual bool Filtered() const = 0;

  virtual void Next() = 0;
  virtual bool Eof() const = 0;  // true after moving past the last row
};

}  // namespace zumt
