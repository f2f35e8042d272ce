#include "CtlRunner.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "base/UniqueHandle.h"

namespace testing_support {

namespace {

pelorin::unique_file InheritableTempFile() {
  wchar_t folder[MAX_PATH];
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"ctl", 0, path);
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  pelorin::unique_file file(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherit, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) throw std::runtime_error("cannot create a capture file");
  return file;
}

std::string ReadAll(HANDLE file) {
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

}  // namespace

std::wstring CtlPath() { return ExecutableDir() + L"\\pelorinctl.exe"; }

CtlRun RunProgram(const std::wstring& exe, const std::wstring& args) {
  pelorin::unique_file out = InheritableTempFile();
  pelorin::unique_file err = InheritableTempFile();
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  std::wstring command = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start " + Narrow(exe));
  }
  pelorin::unique_file process_handle(process.hProcess);
  pelorin::unique_file thread_handle(process.hThread);
  if (WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0) throw std::runtime_error("child hangs");
  CtlRun run;
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  run.out = ReadAll(out.get());
  run.err = ReadAll(err.get());
  return run;
}

PrivateLog::PrivateLog() : dir_(L"ctl-log") { SetEnvironmentVariableW(L"ORLIX_LOG_FILE", path().c_str()); }
PrivateLog::~PrivateLog() { SetEnvironmentVariableW(L"ORLIX_LOG_FILE", nullptr); }

rapidjson::Document ParseJson(const std::string& text) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str());
  EXPECT_TRUE(!document.HasParseError() && document.IsObject()) << "not a JSON object:\n" << text;
  return document;
}

std::map<std::string, std::string> StringMembers(const rapidjson::Value& object) {
  std::map<std::string, std::string> members;
  if (!object.IsObject()) {
    ADD_FAILURE() << "not an object";
    return members;
  }
  for (auto it = object.MemberBegin(); it != object.MemberEnd(); ++it) {
    EXPECT_TRUE(it->value.IsString()) << it->name.GetString();
    if (it->value.IsString()) members[it->name.GetString()] = it->value.GetString();
  }
  return members;
}

}  // namespace testing_support
