#include "Report.h"

#include <algorithm>
#include <utility>

#include "rapidjson/prettywriter.h"
#include "rapidjson/stringbuffer.h"

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

Value Value::List(std::vector<Value> items) {
  Value value;
  value.kind = Kind::List;
  value.items = std::move(items);
  return value;
}

Value Value::Strings(const std::vector<std::string>& texts) {
  std::vector<Value> items;
  for (const std::string& text : texts) items.push_back(String(text));
  return List(std::move(items));
}

Value Value::Section(std::vector<Field> fields) {
  Value value;
  value.kind = Kind::Section;
  value.fields = std::move(fields);
  return value;
}

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

std::string Line(const Value& item) {
  if (item.kind != Value::Kind::Section) return Scalar(item);
  std::string line;
  for (const Field& field : item.fields) {
    if (field.value.kind != Value::Kind::List) line += (line.empty() ? "" : " ") + Scalar(field.value);
  }
  return line;
}

// A list item's own line, then the items of its lists below it, indented.
void RenderItem(const Value& item, const std::string& indent, std::string& out) {
  out += indent + Line(item) + "\n";
  if (item.kind != Value::Kind::Section) return;
  for (const Field& field : item.fields) {
    if (field.value.kind != Value::Kind::List) continue;
    for (const Value& nested : field.value.items) RenderItem(nested, indent + "  ", out);
  }
}

bool IsBlock(const Value& value) {
  return (value.kind == Value::Kind::List && !value.items.empty()) ||
         (value.kind == Value::Kind::Section && !value.fields.empty());
}

// "label: value" lines, values of a section aligned, nested sections and
// lists indented by two blanks.
void RenderFields(const std::vector<Field>& fields, const std::string& indent, std::string& out) {
  size_t width = 0;
  for (const Field& field : fields) {
    if (!IsBlock(field.value)) width = std::max(width, field.label.size());
  }
  for (const Field& field : fields) {
    const Value& value = field.value;
    out += indent + field.label + ":";
    if (value.kind == Value::Kind::Section && !value.fields.empty()) {
      out += "\n";
      RenderFields(value.fields, indent + "  ", out);
    } else if (value.kind == Value::Kind::List && !value.items.empty()) {
      out += "\n";
      for (const Value& item : value.items) RenderItem(item, indent + "  ", out);
    } else {
      out += std::string(width - field.label.size() + 1, ' ') + Scalar(value) + "\n";
    }
  }
}

using JsonWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

void WriteJson(const Value& value, JsonWriter& writer) {
  switch (value.kind) {
    case Value::Kind::Null: writer.Null(); break;
    case Value::Kind::Bool: writer.Bool(value.flag); break;
    case Value::Kind::Int: writer.Int64(value.number); break;
    case Value::Kind::String:
      writer.String(value.text.c_str(), static_cast<rapidjson::SizeType>(value.text.size()));
      break;
    case Value::Kind::List:
      writer.StartArray();
      for (const Value& item : value.items) WriteJson(item, writer);
      writer.EndArray();
      break;
    case Value::Kind::Section:
      writer.StartObject();
      for (const Field& field : value.fields) {
        writer.Key(field.key.c_str(), static_cast<rapidjson::SizeType>(field.key.size()));
        WriteJson(field.value, writer);
      }
      writer.EndObject();
      break;
  }
}

}  // namespace

std::string RenderText(const Report& report) {
  std::string out;
  RenderFields(report, std::string(), out);
  return out;
}

std::string RenderJson(const Report& report) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  writer.SetIndent(' ', 2);
  WriteJson(Value::Section(report), writer);
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

}  // namespace pelorinctl
