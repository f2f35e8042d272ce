#include "Report.h"

#include <utility>

namespace pelorinctl {

Value Value::Null(const std::string& shown) {
  Value value;
  value.shown = shown;
  return value;
}

Value Value::Bool(bool flag, const std::string& if_true, const std::string& if_false) {
  Value value;
  value.kind = Kind::Bool;
  value.flag = flag;
  value.shown = flag ? if_true : if_false;
  return value;
}

Value Value::Int(int64_t number) {
  Value value;
  value.kind = Kind::Int;
  value.number = number;
  return value;
}

Value Value::String(const std::string& text, const std::string& shown) {
  Value value;
  value.kind = Kind::String;
  value.text = text;
  value.shown = shown;
  return value;
}

Value Value::List(std::vector<std::string> items) {
  Value value;
  value.kind = Kind::List;
  value.items = std::move(items);
  return value;
}

Value Value::Section(std::vector<Field> fields) {
  Value value;
  value.kind = Kind::Section;
  value.fields = std::move(fields);
  return value;
}

}  // namespace pelorinctl
