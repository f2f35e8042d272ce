// One statement per line, as the library writes them and as administrators
// usually do: fn("name") or fn("name", value), an optional ";" and an
// optional "//" comment. The check reads preference files and autoconfig
// files this way; anything else on a line is not a statement it follows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelorin {

// A literal as Firefox stores it: a string, a number or a boolean.
struct PrefValue {
  enum class Kind { kString, kNumber, kBool };
  Kind kind = Kind::kString;
  std::string text;  // the string's characters, the number's digits, "true" or "false"

  bool operator==(const PrefValue& other) const { return kind == other.kind && text == other.text; }
  bool operator!=(const PrefValue& other) const { return !(*this == other); }
};

// JavaScript's spelling of the value: 5, true, "text".
std::string ValueText(const PrefValue& value);

struct Statement {
  std::string function;  // pref, lockPref, defaultPref, unlockPref, clearPref, ...
  std::string name;
  std::optional<PrefValue> value;
};

// The statements of a line, in order ("lockPref(...); lockPref(...);" is
// two); none for a blank or comment line; nullopt when any is not one.
std::optional<std::vector<Statement>> ParseStatements(std::string_view line);
// The line's one statement.
std::optional<Statement> ParseStatement(std::string_view line);

// A statement, a comment or nothing: a line Firefox can read to its end.
bool IsCompleteLine(std::string_view line);

// The lines of an autoconfig file as JavaScript cuts them: on "\r\n", "\n"
// or a lone "\r" (established with Firefox ESR, which skips the first line
// of a file whose lines end in "\r" alone as well).
std::vector<std::string_view> SplitScriptLines(std::string_view text);

// The line without the "\r" of a CRLF file and without surrounding blanks.
std::string_view TrimLine(std::string_view line);

}  // namespace pelorin
