#include "files/FileCalls.h"

namespace pelorin {

namespace {

const FileCalls kWindowsFileCalls = {&::CreateFileW,      &::ReadFile,    &::WriteFile,
                                     &::FlushFileBuffers, &::MoveFileExW, &::GetFileInformationByHandleEx};

FileCalls g_test_calls;
const FileCalls* g_file_calls = &kWindowsFileCalls;

template <typename Call>
void Fill(Call& call, Call windows) {
  if (call == nullptr) call = windows;
}

}  // namespace

const FileCalls& ActiveFileCalls() noexcept { return *g_file_calls; }

void SetFileCallsForTesting(const FileCalls* calls) noexcept {
  if (calls == nullptr) {
    g_file_calls = &kWindowsFileCalls;
    return;
  }
  g_test_calls = *calls;
  Fill(g_test_calls.create_file, kWindowsFileCalls.create_file);
  Fill(g_test_calls.read_file, kWindowsFileCalls.read_file);
  Fill(g_test_calls.write_file, kWindowsFileCalls.write_file);
  Fill(g_test_calls.flush_file_buffers, kWindowsFileCalls.flush_file_buffers);
  Fill(g_test_calls.move_file, kWindowsFileCalls.move_file);
  Fill(g_test_calls.file_information, kWindowsFileCalls.file_information);
  g_file_calls = &g_test_calls;
}

}  // namespace pelorin
