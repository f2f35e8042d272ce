// Orlix: appends one UTF-8 record per call to a log file.
//
// A record is: local time with milliseconds, level, process and thread id,
// function:line, then the message with control characters escaped so that a
// record is always exactly one line. The file is opened for each record with
// FILE_APPEND_DATA, so that records from several processes interleave whole
// and the file can be renamed or deleted between two records.
#define ORLIX_BUILDING
#include "Orlix.h"

#include <windows.h>

#include <cstdio>
#include <string>

#include "pelorin/UniqueHandle.h"

namespace {

// One critical section keeps the records of this process from interleaving
// and serialises the lazy creation of the log folders.
struct RecordLock {
  CRITICAL_SECTION section;
  RecordLock() { InitializeCriticalSection(&section); }
  ~RecordLock() { DeleteCriticalSection(&section); }
  RecordLock(const RecordLock&) = delete;
  RecordLock& operator=(const RecordLock&) = delete;
};
RecordLock g_record_lock;

class RecordLockGuard {
 public:
  RecordLockGuard() { EnterCriticalSection(&g_record_lock.section); }
  ~RecordLockGuard() { LeaveCriticalSection(&g_record_lock.section); }
  RecordLockGuard(const RecordLockGuard&) = delete;
  RecordLockGuard& operator=(const RecordLockGuard&) = delete;
};

pelorin::unique_file OpenForAppend(const std::wstring& path) {
  return pelorin::unique_file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2];
  DWORD length = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(sizeof buffer / sizeof buffer[0]));
  if (length == 0 || length >= sizeof buffer / sizeof buffer[0]) return std::wstring();
  return std::wstring(buffer, length);
}

std::wstring LogFilePath() {
  std::wstring path = EnvironmentValue(L"ORLIX_LOG_FILE");
  if (!path.empty()) return path;
  std::wstring data = EnvironmentValue(L"ProgramData");
  if (data.empty()) data = L"C:\\ProgramData";
  return data + L"\\Tervia\\Logs\\Orlix.log";
}

// CreateDirectoryW makes one level at a time; an existing folder is fine.
void CreateParentFolders(const std::wstring& file) {
  for (size_t slash = file.find_first_of(L"\\/", 3); slash != std::wstring::npos;
       slash = file.find_first_of(L"\\/", slash + 1)) {
    CreateDirectoryW(file.substr(0, slash).c_str(), nullptr);
  }
}

void AppendUtf8(std::string& out, const wchar_t* text, size_t length) {
  if (length == 0) return;
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return;
  size_t start = out.size();
  out.resize(start + static_cast<size_t>(bytes));
  WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), &out[start], bytes, nullptr, nullptr);
}

// Escapes what would break a record over two lines or hide in a terminal.
std::wstring EscapeControls(const wchar_t* message) {
  std::wstring escaped;
  if (message == nullptr) return escaped;
  for (const wchar_t* c = message; *c != L'\0'; ++c) {
    switch (*c) {
      case L'\r': escaped += L"\\r"; break;
      case L'\n': escaped += L"\\n"; break;
      case L'\t': escaped += L"\\t"; break;
      default:
        if (*c < 0x20 || *c == 0x7F) {
          wchar_t hex[8];
          swprintf(hex, sizeof hex / sizeof hex[0], L"\\x%02X", static_cast<unsigned>(*c));
          escaped += hex;
        } else {
          escaped += *c;
        }
    }
  }
  return escaped;
}

std::string FormatRecord(const wchar_t* function, int line, int level, const wchar_t* message) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char head[128];
  std::snprintf(head, sizeof head, "%04u-%02u-%02u %02u:%02u:%02u.%03u L%d [%lu:%lu] ", now.wYear, now.wMonth, now.wDay,
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, level,
                static_cast<unsigned long>(GetCurrentProcessId()), static_cast<unsigned long>(GetCurrentThreadId()));
  std::string record(head);
  std::wstring where = function != nullptr ? function : L"?";
  where += L":" + std::to_wstring(line) + L" ";
  AppendUtf8(record, where.data(), where.size());
  std::wstring text = EscapeControls(message);
  AppendUtf8(record, text.data(), text.size());
  record += "\r\n";
  return record;
}

void WriteRecord(const std::string& record) {
  std::wstring path = LogFilePath();
  RecordLockGuard guard;
  pelorin::unique_file file = OpenForAppend(path);
  if (!file) {
    CreateParentFolders(path);
    file = OpenForAppend(path);
  }
  DWORD written = 0;
  if (file) WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

}  // namespace

extern "C" int Orlix_PrintMessage(const wchar_t* /*sourcePath*/, const wchar_t* function, int line, int level,
                                  const wchar_t* message) {
  // Logging must never take the caller down with it.
  try {
    WriteRecord(FormatRecord(function, line, level, message));
  } catch (...) {
  }
  return 0;
}

extern "C" int Orlix_GetLogPath(wchar_t* buffer, int capacity) {
  try {
    const std::wstring path = LogFilePath();
    const int length = static_cast<int>(path.size());
    if (buffer != nullptr && capacity > length) {
      path.copy(buffer, path.size());
      buffer[length] = L'\0';
    }
    return length;
  } catch (...) {
    return 0;
  }
}
