// What the user asked for, read from the arguments after the program name.
#pragma once

#include <string>
#include <vector>

namespace pelorinctl {

enum class Command { Help, Version, Status, Start, Cleanup };
enum class Mode { Zarn, Tovk, Dlp };

struct Options {
  Command command = Command::Help;
  Mode mode = Mode::Zarn;
  std::wstring loader_name;  // empty: the library's default
  std::wstring cfg_name;     // empty: the library's default
  bool uninitialize = false;
  bool only_proxy = false;
  bool json = false;
  bool verbose = false;
};

// Throws UsageError naming the first argument it cannot use.
Options ParseCommandLine(const std::vector<std::wstring>& args);

const char* ModeName(Mode mode);
std::string UsageText();

}  // namespace pelorinctl
