// A recording stand-in for Orlix.dll. The tests load it before Pelorin.dll,
// so the DLL's import of "Orlix.dll" binds to this module, and every call's
// five arguments are kept for assertions.
#include <deque>
#include <mutex>
#include <string>

namespace {

struct Record {
  std::wstring texts[3];  // source path, function, message
  int numbers[2];         // line, level
};
std::mutex g_mutex;
std::deque<Record> g_records;  // appending moves no record: the texts handed out stay valid
std::wstring Copy(const wchar_t* text) { return text != nullptr ? text : L"<null>"; }

}  // namespace

extern "C" int Orlix_PrintMessage(const wchar_t* source_path, const wchar_t* function, int line, int level,
                                  const wchar_t* message) {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_records.push_back(Record{{Copy(source_path), Copy(function), Copy(message)}, {line, level}});
  return 0;
}

// Record `index`, false past the last one; the texts stay valid until a clear.
extern "C" bool OrlixDouble_Get(size_t index, const wchar_t** texts, int* numbers) {
  std::lock_guard<std::mutex> guard(g_mutex);
  if (index >= g_records.size()) return false;
  for (int i = 0; i < 3; ++i) texts[i] = g_records[index].texts[i].c_str();
  for (int i = 0; i < 2; ++i) numbers[i] = g_records[index].numbers[i];
  return true;
}

extern "C" void OrlixDouble_Clear() {
  std::lock_guard<std::mutex> guard(g_mutex);
  g_records.clear();
}
