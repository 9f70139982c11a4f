#pragma once
// Cells as text, with the regional formats read at most once per context
// (once per query), so converting many cells does no locale lookups.

#include <memory>
#include <optional>
#include <string>

#include "platform/regional/regional_formats.h"
#include "platform/spreadsheet/cell.h"

namespace zumt::sql {

class TextContext {
 public:
  const std::string& DecimalSeparator() const;
  const regional::TimeFormats& Time() const;

 private:
  mutable std::optional<std::string> decimal_;
  mutable std::unique_ptr<regional::TimeFormats> time_;
};

std::string CellToText(const sheet::Cell& cell, const TextContext& context);

// A number as text: whole numbers below 1e15 without a decimal part, others
// with up to 15 significant digits, `decimal` as the separator, an exponent
// ("1,5E+20") for very large or small magnitudes.
std::string NumberToText(double value, const std::string& decimal);

}  // namespace zumt::sql
