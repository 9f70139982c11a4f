#include "platform/datasource/cell_text.h"

#include <charconv>
#include <cmath>

#include "platform/datasource/date_serial.h"
#include "platform/datasource/sql_engine.h"

namespace zumt::sql {

const std::string& TextContext::DecimalSeparator() const {
  if (!decimal_) decimal_ = regional::ReadDecimalSeparator();
  return *decimal_;
}

const regional::TimeFormats& TextContext::Time() const {
  if (!time_) time_ = std::make_unique<regional::TimeFormats>();
  return *time_;
}

std::string NumberToText(double value, const std::string& decimal) {
  if (!std::isfinite(value)) return "#NUM!";
  char buffer[64];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(value)).ptr;
    return std::string(buffer, end);
  }
  // Fifteen significant digits, trailing zeros dropped, an exponent past them
  // or below 1e-4 (the %g rules), independent of the process's C locale.
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
  std::string text;
  for (const char* p = buffer; p != end; ++p) {
    if (*p == '.')
      text += decimal;
    else
      text += *p == 'e' ? 'E' : *p;
  }
  return text;
}

std::string CellToText(const sheet::Cell& cell, const TextContext& context) {
  switch (cell.type) {
    case sheet::CellType::Empty:
    case sheet::CellType::Error:
    case sheet::CellType::PendingText:  // the engine resolves every text it reads
      return {};
    case sheet::CellType::Text:
      return cell.text;
    case sheet::CellType::Boolean:
      return cell.number != 0 ? "True" : "False";
    case sheet::CellType::Number:
      return NumberToText(cell.number, context.DecimalSeparator());
    case sheet::CellType::Date: {
      const std::optional<DateTimeParts> parts = SplitSerial(cell.number);
      if (!parts) return NumberToText(cell.number, context.DecimalSeparator());  // no such date
      const regional::TimeFormats& formats = context.Time();
      std::string text;
      if (parts->hasDate) text = formats.FormatDate(parts->year, parts->month, parts->day);
      if (parts->hasTime || !parts->hasDate) {
        if (!text.empty()) text += ' ';
        text += formats.FormatTime(parts->hour, parts->minute, parts->second);
      }
      return text;
    }
  }
  return {};
}

std::string CellToText(const sheet::Cell& cell) {
  const TextContext context;
  return CellToText(cell, context);
}

}  // namespace zumt::sql
