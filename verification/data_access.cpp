#include "verification/data_access.h"

#include "platform/datasource/sql_engine.h"

namespace zumt {

std::string Variant::ToText() const {
  if (IsNull()) throw DataError("Could not convert variant of type (Null) into type (String)");
  return sql::CellToText(cell_);
}

}  // namespace zumt
