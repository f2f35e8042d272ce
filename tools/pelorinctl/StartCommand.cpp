#include <functional>

#include "AgentState.h"
#include "ChangeWatch.h"
#include "CommandParts.h"
#include "Commands.h"
#include "Utf8.h"

namespace pelorinctl {

namespace {

struct Start {
  const char* export_name;
  std::function<int32_t()> call;
  int32_t done;     // the result of a complete run
  int32_t skipped;  // the result of a run the agent's configuration stopped
};

// The host's parameter blocks mean nothing to the library (it only copies
// and compares them), so the tool passes empty ones. Replay is the
// library's own business at unload: the host always passes 0.
Start BindStart(Library& library, const Options& options) {
  const std::wstring& loader = options.loader_name;
  const std::wstring& cfg = options.cfg_name;
  switch (options.mode) {
    case Mode::Zarn: {
      auto fn = library.Require<PelorinZARNFFStartFn>("PelorinZARNFFStart");
      return {"PelorinZARNFFStart", [=] { ZarnStartParams params; return fn(&params, loader, cfg, 0); }, 0, 0};
    }
    case Mode::Tovk: {
      auto fn = library.Require<PelorinTOVKFFStartFn>("PelorinTOVKFFStart");
      return {"PelorinTOVKFFStart", [=] { TovkStartParams params; return fn(&params, loader, cfg, 0); }, 0, 0};
    }
    default: {
      auto fn = library.Require<PelorinDLPFFStartFn>("PelorinDLPFFStart");
      return {"PelorinDLPFFStart", [=] { return fn(nullptr, loader, cfg); }, 1, 0};
    }
  }
}

// Explicit names may point anywhere (the library uses them verbatim).
std::vector<std::wstring> NamedFiles(const std::wstring& install_dir, const Options& options) {
  std::vector<std::wstring> files;
  if (!install_dir.empty() && !options.loader_name.empty()) {
    files.push_back(install_dir + L"\\defaults\\pref\\" + options.loader_name);
  }
  if (!install_dir.empty() && !options.cfg_name.empty()) files.push_back(install_dir + L"\\" + options.cfg_name);
  files.push_back(ReadRecordedCfgPath());
  return files;
}

struct Verdict {
  std::string text;
  std::string failure;  // empty unless the library reported failure
};

Verdict Judge(const Start& start, Mode mode, int32_t result) {
  if (result == start.done) return {"done", ""};
  if (result == -1) return {"failed: Firefox not found", "Firefox not found"};
  if (mode == Mode::Dlp && result == start.skipped) return {"skipped: the agent's RvClientConfig.qcf is present", ""};
  return {"failed: unexpected result", "unexpected result"};
}

Value NameValue(const std::wstring& name) {
  return name.empty() ? Value::Null("(default)") : Value::String(ToUtf8(name));
}

}  // namespace

Outcome RunStart(Library& library, const Options& options) {
  Start start = BindStart(library, options);
  PelorinUninitializeFn uninitialize =
      options.uninitialize ? library.Require<PelorinUninitializeFn>("PelorinUninitialize") : nullptr;

  std::wstring install_dir = FirefoxInstallDir(library);
  ChangeWatch watch(install_dir, NamedFiles(install_dir, options));
  int32_t result = start.call();
  if (uninitialize != nullptr) uninitialize();

  Outcome outcome;
  Verdict verdict = Judge(start, options.mode, result);
  if (!verdict.failure.empty()) {
    outcome.failure = std::string(start.export_name) + " returned " + std::to_string(result) + " (" +
                      verdict.failure + ")";
  }

  Report& report = outcome.report;
  report.push_back({"mode", "Mode", Value::String(ModeName(options.mode))});
  report.push_back({"loader_name", "Loader file name", NameValue(options.loader_name)});
  report.push_back({"cfg_name", "Autoconfig file name", NameValue(options.cfg_name)});
  report.push_back({"result", "Result", Value::Int(result)});
  report.push_back({"outcome", "Outcome", Value::String(verdict.text)});
  report.push_back({"uninitialized", "Uninitialized", Value::Bool(uninitialize != nullptr)});
  for (Field& field : watch.Changes()) report.push_back(std::move(field));
  return outcome;
}

}  // namespace pelorinctl
