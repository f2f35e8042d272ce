// Pelorin.dll bound at run time. An export the DLL lacks is a run-time
// failure the tool reports, never a load failure of the tool itself.
#pragma once

#include <string>
#include <vector>

#include "Handles.h"
#include "Pelorin.h"
#include "ToolError.h"

namespace pelorinctl {

class Library {
 public:
  // Loads the DLL and calls PelorinInitialize, which the library requires
  // before anything else. Throws Failure when either is impossible.
  explicit Library(const std::wstring& path);

  // Null when the DLL does not export `name`; the name is remembered.
  template <typename Fn>
  Fn Find(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(Address(name)));
  }
  // Throws Failure naming the export when the DLL lacks it.
  template <typename Fn>
  Fn Require(const char* name) {
    Fn fn = Find<Fn>(name);
    if (fn == nullptr) throw Failure(MissingMessage({name}));
    return fn;
  }

  const std::vector<std::string>& missing() const { return missing_; }
  static std::string MissingMessage(const std::vector<std::string>& names);

 private:
  FARPROC Address(const char* name);

  unique_module module_;
  std::vector<std::string> missing_;
};

}  // namespace pelorinctl
