#include "check/Statements.h"

#include <cctype>

namespace pelorin {

namespace {

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (position_ < text_.size() && (text_[position_] == ' ' || text_[position_] == '\t')) ++position_;
  }
  bool Take(char wanted) {
    SkipBlanks();
    if (position_ >= text_.size() || text_[position_] != wanted) return false;
    ++position_;
    return true;
  }
  bool AtEnd() {
    SkipBlanks();
    return position_ == text_.size();
  }
  bool AtComment() {
    SkipBlanks();
    return text_.substr(position_, 2) == "//";
  }

  std::string Identifier() {
    SkipBlanks();
    std::string word;
    while (position_ < text_.size() &&
           (std::isalnum(static_cast<unsigned char>(text_[position_])) != 0 || text_[position_] == '_')) {
      word += text_[position_++];
    }
    return word;
  }

  // A quoted string with its backslash escapes resolved; nullopt when the
  // closing quote is missing.
  std::optional<std::string> String() {
    SkipBlanks();
    if (position_ >= text_.size() || (text_[position_] != '"' && text_[position_] != '\'')) return std::nullopt;
    const char quote = text_[position_++];
    std::string characters;
    while (position_ < text_.size()) {
      char c = text_[position_++];
      if (c == quote) return characters;
      if (c == '\\' && position_ < text_.size()) {
        c = text_[position_++];
      }
      characters += c;
    }
    return std::nullopt;
  }

  std::optional<PrefValue> Literal() {
    SkipBlanks();
    if (position_ < text_.size() && (text_[position_] == '"' || text_[position_] == '\'')) {
      std::optional<std::string> text = String();
      if (!text) return std::nullopt;
      return PrefValue{PrefValue::Kind::kString, *text};
    }
    std::string token;
    if (position_ < text_.size() && text_[position_] == '-') token += text_[position_++];
    token += Identifier();
    if (token == "true" || token == "false") return PrefValue{PrefValue::Kind::kBool, token};
    const size_t digits = token[0] == '-' ? 1 : 0;
    if (token.size() == digits) return std::nullopt;
    for (size_t i = digits; i < token.size(); ++i) {
      if (std::isdigit(static_cast<unsigned char>(token[i])) == 0) return std::nullopt;
    }
    return PrefValue{PrefValue::Kind::kNumber, token};
  }

 private:
  std::string_view text_;
  size_t position_ = 0;
};

}  // namespace

std::string ValueText(const PrefValue& value) {
  if (value.kind != PrefValue::Kind::kString) return value.text;
  return "\"" + value.text + "\"";
}

std::vector<std::string_view> SplitScriptLines(std::string_view text) {
  std::vector<std::string_view> lines;
  if (text.empty()) return lines;
  size_t start = 0;
  for (size_t end = text.find_first_of("\r\n"); end != std::string_view::npos;
       end = text.find_first_of("\r\n", start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  lines.push_back(text.substr(start));
  return lines;
}

std::string_view TrimLine(std::string_view line) {
  const size_t first = line.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return std::string_view();
  return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

namespace {

std::optional<Statement> Next(Cursor& cursor) {
  Statement statement;
  statement.function = cursor.Identifier();
  if (statement.function.empty() || !cursor.Take('(')) return std::nullopt;
  std::optional<std::string> name = cursor.String();
  if (!name) return std::nullopt;
  statement.name = *name;
  if (cursor.Take(',')) {
    statement.value = cursor.Literal();
    if (!statement.value) return std::nullopt;
  }
  if (!cursor.Take(')')) return std::nullopt;
  return statement;
}

}  // namespace

std::optional<std::vector<Statement>> ParseStatements(std::string_view line) {
  Cursor cursor(TrimLine(line));
  std::vector<Statement> statements;
  while (!cursor.AtEnd() && !cursor.AtComment()) {
    std::optional<Statement> statement = Next(cursor);
    if (!statement) return std::nullopt;
    statements.push_back(std::move(*statement));
    // Statements on one line are told apart by their ";".
    if (!cursor.Take(';') && !cursor.AtEnd() && !cursor.AtComment()) return std::nullopt;
  }
  return statements;
}

std::optional<Statement> ParseStatement(std::string_view line) {
  std::optional<std::vector<Statement>> statements = ParseStatements(line);
  if (!statements || statements->size() != 1) return std::nullopt;
  return std::move(statements->front());
}

bool IsCompleteLine(std::string_view line) { return ParseStatements(line).has_value(); }

}  // namespace pelorin
