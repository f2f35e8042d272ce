#include "check/PrefFile.h"

#include <cstdint>
#include <optional>

namespace pelorin {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsWordChar(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {
    if (text_.substr(0, kUtf8Bom.size()) == kUtf8Bom) position_ = kUtf8Bom.size();
  }

  std::vector<PrefFileStatement> All() {
    std::vector<PrefFileStatement> statements;
    while (SkipBlanksAndComments() && position_ < text_.size()) {
      if (std::optional<PrefFileStatement> statement = Statement()) {
        statements.push_back(std::move(*statement));
      } else {
        SkipPastSemicolon();
      }
    }
    return statements;
  }

 private:
  // False on a block comment without its end, which ends the file.
  bool SkipBlanksAndComments() {
    while (position_ < text_.size()) {
      const char c = text_[position_];
      if (IsSpace(c)) {
        ++position_;
      } else if (c == '#' || text_.substr(position_, 2) == "//") {
        while (position_ < text_.size() && text_[position_] != '\n' && text_[position_] != '\r') ++position_;
      } else if (text_.substr(position_, 2) == "/*") {
        const size_t end = text_.find("*/", position_ + 2);
        if (end == std::string_view::npos) {
          position_ = text_.size();
          return false;
        }
        position_ = end + 2;
      } else {
        return true;
      }
    }
    return true;
  }

  void SkipPastSemicolon() {
    const size_t semicolon = text_.find(';', position_);
    position_ = semicolon == std::string_view::npos ? text_.size() : semicolon + 1;
  }

  bool Take(char wanted) {
    SkipBlanksAndComments();
    if (position_ >= text_.size() || text_[position_] != wanted) return false;
    ++position_;
    return true;
  }

  std::string Word() {
    SkipBlanksAndComments();
    const size_t start = position_;
    while (position_ < text_.size() && IsWordChar(text_[position_])) ++position_;
    return std::string(text_.substr(start, position_ - start));
  }

  std::optional<std::string> String() {
    SkipBlanksAndComments();
    if (position_ >= text_.size() || (text_[position_] != '"' && text_[position_] != '\'')) return std::nullopt;
    const char quote = text_[position_++];
    std::string characters;
    while (position_ < text_.size()) {
      const char c = text_[position_++];
      if (c == quote) return characters;
      if (c != '\\') {
        characters += c;
        continue;
      }
      if (position_ >= text_.size()) return std::nullopt;
      const char e = text_[position_++];
      if (e == 'n') {
        characters += '\n';
      } else if (e == 'r') {
        characters += '\r';
      } else if (e == 'x' || e == 'u') {
        const size_t digits = e == 'x' ? 2 : 4;
        uint32_t code = 0;
        for (size_t i = 0; i < digits; ++i) {
          const int digit = position_ < text_.size() ? HexDigit(text_[position_++]) : -1;
          if (digit < 0) return std::nullopt;
          code = code * 16 + static_cast<uint32_t>(digit);
        }
        if (code == 0) return std::nullopt;
        AppendUtf8(characters, code);
      } else if (e == '"' || e == '\'' || e == '\\') {
        characters += e;
      } else {
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<PrefValue> Value() {
    SkipBlanksAndComments();
    if (position_ < text_.size() && (text_[position_] == '"' || text_[position_] == '\'')) {
      std::optional<std::string> text = String();
      if (!text) return std::nullopt;
      return PrefValue{PrefValue::Kind::kString, *text};
    }
    std::string sign;
    if (position_ < text_.size() && (text_[position_] == '-' || text_[position_] == '+')) {
      if (text_[position_++] == '-') sign = "-";
      SkipBlanksAndComments();
    }
    const std::string word = Word();
    if (sign.empty() && (word == "true" || word == "false")) return PrefValue{PrefValue::Kind::kBool, word};
    if (word.empty() || word.size() > 10) return std::nullopt;
    for (char c : word) {
      if (!IsDigit(c)) return std::nullopt;
    }
    // Firefox keeps integer preferences in 32 bits.
    const long long number = std::stoll(sign + word);
    if (number < INT32_MIN || number > INT32_MAX) return std::nullopt;
    return PrefValue{PrefValue::Kind::kNumber, std::to_string(number)};
  }

  std::optional<PrefFileStatement> Statement() {
    PrefFileStatement statement;
    const std::string keyword = Word();
    if (keyword == "user_pref") {
      statement.user = true;
    } else if (keyword == "lockPref") {
      statement.locked = true;
    } else if (keyword != "pref" && keyword != "sticky_pref") {
      return std::nullopt;
    }
    if (!Take('(')) return std::nullopt;
    std::optional<std::string> name = String();
    if (!name || !Take(',')) return std::nullopt;
    std::optional<PrefValue> value = Value();
    if (!value) return std::nullopt;
    while (Take(',')) {
      const std::string attribute = Word();
      if (attribute == "locked") {
        statement.locked = true;
      } else if (attribute != "sticky") {
        return std::nullopt;
      }
    }
    if (!Take(')') || !Take(';')) return std::nullopt;
    statement.name = std::move(*name);
    statement.value = std::move(*value);
    return statement;
  }

  std::string_view text_;
  size_t position_ = 0;
};

}  // namespace

std::vector<PrefFileStatement> ParsePrefFile(std::string_view content) { return Parser(content).All(); }

}  // namespace pelorin
