#include "Capture.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "Files.h"
#include "base/Log.h"

namespace testing_support {

StdoutCapture::StdoutCapture() : saved_fd_(-1), active_(true) {
  wchar_t temp[MAX_PATH], file[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  GetTempFileNameW(temp, L"out", 0, file);
  path_ = file;
  std::fflush(stdout);
  saved_fd_ = _dup(_fileno(stdout));
  int fd = _wopen(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY);
  if (saved_fd_ < 0 || fd < 0) throw std::runtime_error("cannot capture stdout");
  _dup2(fd, _fileno(stdout));
  _close(fd);
}

StdoutCapture::~StdoutCapture() {
  Restore();
  DeleteFileW(path_.c_str());
}

void StdoutCapture::Restore() {
  if (!active_) return;
  std::fflush(stdout);
  _dup2(saved_fd_, _fileno(stdout));
  _close(saved_fd_);
  active_ = false;
  text_ = ReadBytes(path_);
}

std::string StdoutCapture::Text() {
  Restore();
  return text_;
}

namespace {
std::vector<std::wstring> g_messages;
}  // namespace

LogRecorder::LogRecorder() {
  g_messages.clear();
  pelorin::SetLogFunction([](const wchar_t* message) { g_messages.emplace_back(message); });
}

LogRecorder::~LogRecorder() { pelorin::SetLogFunction(nullptr); }

const std::vector<std::wstring>& LogRecorder::messages() const { return g_messages; }

}  // namespace testing_support
