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
// (its file-layer failure messages) goes to standard error instead, so the
// tool's report on standard output stays parseable.
class LibraryOutputToStderr {
 public:
  LibraryOutputToStderr();
  ~LibraryOutputToStderr();
  LibraryOutputToStderr(const LibraryOutputToStderr&) = delete;
  LibraryOutputToStderr& operator=(const LibraryOutputToStderr&) = delete;

 private:
  int saved_stdout_;
};

}  // namespace pelorinctl
