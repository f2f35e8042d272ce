// The scripts' view: one JSON object, two-blank indentation. Strings are
// UTF-8 already; only what JSON forbids raw is escaped.
#include <cstdio>

#include "Report.h"

namespace pelorinctl {

namespace {

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

void RenderValue(const Value& value, const std::string& indent, std::string& out);

void RenderObject(const std::vector<Field>& fields, const std::string& indent, std::string& out) {
  if (fields.empty()) {
    out += "{}";
    return;
  }
  out += "{\n";
  for (size_t i = 0; i < fields.size(); ++i) {
    out += indent + "  " + Quote(fields[i].key) + ": ";
    RenderValue(fields[i].value, indent + "  ", out);
    out += i + 1 < fields.size() ? ",\n" : "\n";
  }
  out += indent + "}";
}

void RenderValue(const Value& value, const std::string& indent, std::string& out) {
  switch (value.kind) {
    case Value::Kind::Null: out += "null"; break;
    case Value::Kind::Bool: out += value.flag ? "true" : "false"; break;
    case Value::Kind::Int: out += std::to_string(value.number); break;
    case Value::Kind::String: out += Quote(value.text); break;
    case Value::Kind::List:
      if (value.items.empty()) {
        out += "[]";
        break;
      }
      out += "[\n";
      for (size_t i = 0; i < value.items.size(); ++i) {
        out += indent + "  " + Quote(value.items[i]) + (i + 1 < value.items.size() ? ",\n" : "\n");
      }
      out += indent + "]";
      break;
    case Value::Kind::Section: RenderObject(value.fields, indent, out); break;
  }
}

}  // namespace

std::string RenderJson(const Report& report) {
  std::string out;
  RenderObject(report, std::string(), out);
  return out + "\n";
}

}  // namespace pelorinctl
