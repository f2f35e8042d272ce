// pelorinctl.exe run with its streams in files, in a sandboxed registry and
// with its log records in a private file.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>

#include "Sandboxes.h"
#include "pelorin/UniqueHandle.h"
#include "rapidjson/document.h"

struct CtlRun {
  int exit_code;
  std::string out, err;
};

using pelorin::unique_file;

class Ctl : public ::testing::Test {
 protected:
  Ctl() { SetEnvironmentVariableW(L"ORLIX_LOG_FILE", log_path().c_str()); }
  ~Ctl() override { SetEnvironmentVariableW(L"ORLIX_LOG_FILE", nullptr); }
  std::wstring log_path() const { return dir_ / L"orlix.log"; }

  // Started directly, not through the command interpreter: on a loaded
  // machine Wine now and then fails to start a process, which cmd reports
  // only as exit code 9009. A start that fails is tried again, and named.
  CtlRun Run(const std::wstring& args) {
    std::wstring command = L"\"" + testing_support::ExecutableDir() + L"\\pelorinctl.exe\" " + args;
    const std::wstring out = dir_ / L"o", err = out + L"2";
    for (int attempt = 1;; ++attempt) {
      unique_file out_file = Inheritable(out), err_file = Inheritable(err);
      STARTUPINFOW startup{};
      startup.cb = sizeof(startup);
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = out_file.get();
      startup.hStdError = err_file.get();
      PROCESS_INFORMATION info{};
      if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        const pelorin::unique_handle process(info.hProcess), thread(info.hThread);
        WaitForSingleObject(info.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        out_file.reset();
        err_file.reset();
        return {static_cast<int>(code), testing_support::ReadBytes(out), testing_support::ReadBytes(err)};
      }
      std::fprintf(stderr, "pelorinctl did not start (error %lu, attempt %d)\n", GetLastError(), attempt);
      if (attempt == 3) return {-1, "", "pelorinctl did not start"};
      Sleep(200);
    }
  }

  static unique_file Inheritable(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return unique_file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  static rapidjson::Document Json(const std::string& text) {
    rapidjson::Document json;
    EXPECT_FALSE(json.Parse(text.c_str()).HasParseError() || !json.IsObject()) << "not a JSON object:\n" << text;
    return json;
  }

  testing_support::TempDir dir_{L"ctl"};
  testing_support::RegistrySandbox registry_;
};
