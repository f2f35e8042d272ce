// The person's view: "label: value" lines, values of a section aligned,
// nested sections and lists indented by two blanks.
#include <algorithm>

#include "Report.h"

namespace pelorinctl {

namespace {

std::string Scalar(const Value& value) {
  if (!value.shown.empty()) return value.shown;
  switch (value.kind) {
    case Value::Kind::Int: return std::to_string(value.number);
    case Value::Kind::String: return value.text.empty() ? "(empty)" : value.text;
    case Value::Kind::Bool: return value.flag ? "yes" : "no";
    default: return "(none)";
  }
}

bool IsBlock(const Value& value) {
  return (value.kind == Value::Kind::List && !value.items.empty()) ||
         (value.kind == Value::Kind::Section && !value.fields.empty());
}

void Render(const std::vector<Field>& fields, const std::string& indent, std::string& out) {
  size_t width = 0;
  for (const Field& field : fields) {
    if (!IsBlock(field.value)) width = std::max(width, field.label.size());
  }
  for (const Field& field : fields) {
    const Value& value = field.value;
    out += indent + field.label + ":";
    if (value.kind == Value::Kind::Section && !value.fields.empty()) {
      out += "\n";
      Render(value.fields, indent + "  ", out);
    } else if (value.kind == Value::Kind::List && !value.items.empty()) {
      out += "\n";
      for (const std::string& item : value.items) out += indent + "  " + item + "\n";
    } else {
      out += std::string(width - field.label.size() + 1, ' ') + Scalar(value) + "\n";
    }
  }
}

}  // namespace

std::string RenderText(const Report& report) {
  std::string out;
  Render(report, std::string(), out);
  return out;
}

}  // namespace pelorinctl
