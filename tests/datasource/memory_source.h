#pragma once
// An in-memory table source and small helpers for the query engine's tests.

#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/datasource/sql_engine.h"
#include "platform/spreadsheet/spreadsheet_error.h"

namespace zumt::test {

using sheet::Cell;
using sheet::CellType;

inline Cell N(double v) { return Cell::MakeNumber(v); }
inline Cell T(std::string s) { return Cell::MakeText(std::move(s)); }
inline Cell E() { return Cell{}; }
inline Cell B(bool v) { return Cell{CellType::Boolean, v ? 1.0 : 0.0, {}}; }
inline Cell Err(int code = 7) { return Cell{CellType::Error, static_cast<double>(code), {}}; }
inline Cell D(double serial) { return Cell{CellType::Date, serial, {}}; }

class MemorySource : public sql::TableSource {
 public:
  void Add(sheet::Table table) { tables_.push_back(std::move(table)); }
  sheet::Table ReadTable(std::string_view name) const override {
    for (const sheet::Table& t : tables_) {
      if (t.name.size() != name.size()) continue;
      bool same = true;
      for (std::size_t i = 0; i < name.size(); ++i)
        same = same && std::tolower(static_cast<unsigned char>(t.name[i])) ==
                           std::tolower(static_cast<unsigned char>(name[i]));
      if (same) return t;
    }
    throw sheet::SpreadsheetError("no table named " + std::string(name));
  }

 private:
  std::vector<sheet::Table> tables_;
};

// Sets (or, for nullptr, unsets) an environment variable for the lifetime of
// the object and restores the previous state.
class ScopedEnv {
 public:
  ScopedEnv(const char* variable, const char* value) : variable_(variable) {
    if (const char* old = std::getenv(variable)) saved_ = old;
    if (value)
      setenv(variable, value, 1);
    else
      unsetenv(variable);
  }
  ~ScopedEnv() {
    if (saved_)
      setenv(variable_.c_str(), saved_->c_str(), 1);
    else
      unsetenv(variable_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string variable_;
  std::optional<std::string> saved_;
};

// LC_ALL set to `name` for the lifetime of the object.
class ScopedLocale : public ScopedEnv {
 public:
  explicit ScopedLocale(const char* name) : ScopedEnv("LC_ALL", name) {}
};

}  // namespace zumt::test
