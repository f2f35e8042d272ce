#include "Console.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "pelorin/UniqueHandle.h"
#include "tool/Tool.h"

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

LibraryOutput::LibraryOutput() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t file[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"pct", 0, file) == 0) return;
  path_ = file;
  std::fflush(stdout);
  const int capture = _wopen(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY);
  saved_stdout_ = capture >= 0 ? _dup(_fileno(stdout)) : -1;
  if (saved_stdout_ >= 0) _dup2(capture, _fileno(stdout));
  if (capture >= 0) _close(capture);
}

LibraryOutput::~LibraryOutput() { Take(); }

std::string LibraryOutput::Take() {
  if (saved_stdout_ >= 0) {
    std::fflush(stdout);
    _dup2(saved_stdout_, _fileno(stdout));
    _close(saved_stdout_);
    saved_stdout_ = -1;
    const pelorin::unique_file file(CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[4096];
    DWORD read = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) taken_.append(buffer, read);
  }
  if (!path_.empty()) DeleteFileW(path_.c_str());
  path_.clear();
  return taken_;
}

}  // namespace pelorinctl
