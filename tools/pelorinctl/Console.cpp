#include "Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "lines/Lines.h"

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
    std::wstring wide = pelorin::Utf8ToWide(utf8);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}

}  // namespace

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
