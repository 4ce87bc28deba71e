#include "toolbox/db_value.h"

namespace zi {

const char* DbTypeName(DbType type) {
  switch (type) {
    case DbType::Null: return "null";
    case DbType::Integer: return "integer";
    case DbType::Float: return "float";
    case DbType::Text: return "text";
    case DbType::Blob: return "blob";
    case DbType::Boolean: return "boolean";
    case DbType::DateTime: return "date-time";
  }
  return "unknown";
}

}  // namespace zi
