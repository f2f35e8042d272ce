// A command's findings as an ordered tree of labelled values, printed either
// for a person or as JSON from the same data. All text is UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pelorinctl {

struct Field;

// A list's item that is a section shows as one line: its scalars, blank
// separated.
struct Value {
  enum class Kind { Null, Bool, Int, String, List, Section };

  Kind kind = Kind::Null;
  bool flag = false;
  int64_t number = 0;
  std::string text;
  std::vector<Value> items;   // List
  std::vector<Field> fields;  // Section
  // How a person sees a scalar; empty means the plain rendering.
  std::string shown;

  static Value Null(const std::string& shown);
  static Value Bool(bool flag, const std::string& if_true = "yes", const std::string& if_false = "no");
  static Value Int(int64_t number);
  static Value String(const std::string& text, const std::string& shown = std::string());
  static Value List(std::vector<Value> items);
  static Value Strings(const std::vector<std::string>& texts);
  static Value Section(std::vector<Field> fields);
};

struct Field {
  std::string key;    // JSON member name
  std::string label;  // what a person reads
  Value value;
};

using Report = std::vector<Field>;

std::string RenderText(const Report& report);
std::string RenderJson(const Report& report);

}  // namespace pelorinctl
