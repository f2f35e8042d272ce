// The tool's two output streams. Redirected output is UTF-8 with "\n" line
// ends; a console gets the same text through the wide console API, so it
// shows correctly whatever the console's code page.
#pragma once

#include <string>

namespace pelorinctl {

// Once, before anything is written.
void PrepareStreams();

void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);

// While alive, whatever the library prints on the C runtime's standard output
// (its file-layer failure messages) goes to a temporary file instead, so
// that the tool's report on standard output stays parseable and the tool can
// read which files were not written. Take() ends the capture.
class LibraryOutput {
 public:
  LibraryOutput();
  ~LibraryOutput();
  LibraryOutput(const LibraryOutput&) = delete;
  LibraryOutput& operator=(const LibraryOutput&) = delete;

  std::string Take();

 private:
  std::wstring path_;
  int saved_stdout_ = -1;
  std::string taken_;
};

}  // namespace pelorinctl
