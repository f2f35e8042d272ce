#include "files/FileCalls.h"

namespace pelorin {

namespace {

const FileCalls kWindowsFileCalls = {&::CreateFileW, &::ReadFile, &::WriteFile, &::FlushFileBuffers, &::MoveFileExW};

const FileCalls* g_file_calls = &kWindowsFileCalls;

}  // namespace

const FileCalls& ActiveFileCalls() noexcept { return *g_file_calls; }

void SetFileCallsForTesting(const FileCalls* calls) noexcept {
  g_file_calls = calls != nullptr ? calls : &kWindowsFileCalls;
}

}  // namespace pelorin
