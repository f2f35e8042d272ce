#include "Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace pelorinctl {

namespace {

bool IsConsole(std::FILE* stream) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

void Write(std::FILE* stream, const std::string& utf8) {
  std::fflush(stream);
  if (IsConsole(stream)) {
    std::wstring wide = FromUtf8(utf8);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

}  // namespace

std::string ToUtf8(const std::wstring& wide) {
  if (wide.empty()) return std::string();
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string out(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], bytes, nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (units <= 0) return std::wstring();
  std::wstring out(static_cast<size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], units);
  return out;
}

void PrepareStreams() {
  // Text mode would turn every "\n" into "\r\n" and mangle nothing else;
  // scripts reading the JSON want the bytes as written.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

void WriteOut(const std::string& utf8) { Write(stdout, utf8); }
void WriteErr(const std::string& utf8) { Write(stderr, utf8); }

LibraryOutputToStderr::LibraryOutputToStderr() : saved_stdout_(-1) {
  std::fflush(stdout);
  saved_stdout_ = _dup(_fileno(stdout));
  if (saved_stdout_ >= 0) _dup2(_fileno(stderr), _fileno(stdout));
}

LibraryOutputToStderr::~LibraryOutputToStderr() {
  if (saved_stdout_ < 0) return;
  std::fflush(stdout);
  _dup2(saved_stdout_, _fileno(stdout));
  _close(saved_stdout_);
}

}  // namespace pelorinctl
