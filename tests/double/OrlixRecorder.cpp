// A recording stand-in for Orlix.dll. The tests load it before Pelorin.dll,
// so the DLL's import of "Orlix.dll" binds to this module, and every call's
// five arguments are kept for assertions.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

struct Record {
  std::wstring source_path;
  std::wstring function;
  int line;
  int level;
  std::wstring message;
};

std::mutex g_mutex;
std::vector<Record> g_records;

std::wstring Copy(const wchar_t* text) { return text != nullptr ? std::wstring(text) : std::wstring(L"<null>"); }

}  // namespace

extern "C" {

int Orlix_PrintMessage(const wchar_t* source_path, const wchar_t* function, int line, int level,
                       const wchar_t* message) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_records.push_back(Record{Copy(source_path), Copy(function), line, level, Copy(message)});
  return 0;
}

int OrlixDouble_Count() {
  std::lock_guard<std::mutex> guard(g_mutex);
  return static_cast<int>(g_records.size());
}

// field 0: source path, 1: function, 2: message. The text is copied into the
// caller's buffer; returns its length, or -1 for a bad index or field.
int OrlixDouble_Text(int index, int field, wchar_t* buffer, int capacity) {
  std::lock_guard<std::mutex> guard(g_mutex);
  if (index < 0 || index >= static_cast<int>(g_records.size())) return -1;
  const Record& record = g_records[static_cast<size_t>(index)];
  const std::wstring* text = field == 0 ? &record.source_path : field == 1 ? &record.function
                             : field == 2 ? &record.message : nullptr;
  if (text == nullptr) return -1;
  int length = static_cast<int>(text->size());
  if (buffer != nullptr && capacity > length) {
    text->copy(buffer, text->size());
    buffer[length] = L'\0';
  }
  return length;
}

// field 0: line, 1: level.
int OrlixDouble_Number(int index, int field) {
  std::lock_guard<std::mutex> guard(g_mutex);
  if (index < 0 || index >= static_cast<int>(g_records.size())) return -1;
  const Record& record = g_records[static_cast<size_t>(index)];
  return field == 0 ? record.line : record.level;
}

void OrlixDouble_Clear() {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_records.clear();
}

}  // extern "C"
