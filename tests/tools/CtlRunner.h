// pelorinctl.exe run by the command interpreter, which captures its streams and
// exit code, in a sandboxed registry and with its log records in a private file.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include "Sandboxes.h"
#include "rapidjson/document.h"

struct CtlRun {
  int exit_code;
  std::string out, err;
};

class Ctl : public ::testing::Test {
 protected:
  Ctl() { SetEnvironmentVariableW(L"ORLIX_LOG_FILE", log_path().c_str()); }
  ~Ctl() override { SetEnvironmentVariableW(L"ORLIX_LOG_FILE", nullptr); }
  std::wstring log_path() const { return dir_ / L"orlix.log"; }

  CtlRun Run(const std::wstring& args) {
    const std::wstring exe = testing_support::ExecutableDir() + L"\\pelorinctl.exe", out = dir_ / L"o";
    const int code = _wsystem((L"\"\"" + exe + L"\" " + args + L" >\"" + out + L"\" 2>\"" + out + L"2\"\"").c_str());
    return {code, testing_support::ReadBytes(out), testing_support::ReadBytes(out + L"2")};
  }

  static rapidjson::Document Json(const std::string& text) {
    rapidjson::Document json;
    EXPECT_FALSE(json.Parse(text.c_str()).HasParseError() || !json.IsObject()) << "not a JSON object:\n" << text;
    return json;
  }

  testing_support::TempDir dir_{L"ctl"};
  testing_support::RegistrySandbox registry_;
};
