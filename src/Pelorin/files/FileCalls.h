// The file-system calls through which the library reads and replaces
// Firefox's files, gathered in one table so that a test can make any one of
// them fail, or write short, or report a link, and see that no file is left
// half written or written through a second name.
#pragma once

#include <windows.h>

namespace pelorin {

struct FileCalls {
  decltype(&::CreateFileW) create_file;
  decltype(&::ReadFile) read_file;
  decltype(&::WriteFile) write_file;
  decltype(&::FlushFileBuffers) flush_file_buffers;
  decltype(&::MoveFileExW) move_file;
  decltype(&::GetFileInformationByHandleEx) file_information;
};

// The Windows functions themselves, unless a test has put others in place.
const FileCalls& ActiveFileCalls() noexcept;

// Null puts the Windows functions back; so does a null entry, for that call
// alone.
void SetFileCallsForTesting(const FileCalls* calls) noexcept;

}  // namespace pelorin
