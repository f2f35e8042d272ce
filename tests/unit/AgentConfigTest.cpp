// The probes of the agent's installation: registry path plus file presence.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Files.h"
#include "Registry.h"
#include "Sandboxes.h"
#include "dlp/AgentConfig.h"

using namespace testing_support;

namespace {

constexpr uint32_t kUntouched = 7;

// Both probes; the second also with a null flag pointer, which must give
// the same result.
void ExpectProbes(int32_t client, int32_t rv, uint32_t flag) {
  uint32_t actual_flag = kUntouched;
  EXPECT_EQ(pelorin::IsClientConfigPresent(), client);
  EXPECT_EQ(pelorin::IsRvClientConfigPresent(&actual_flag), rv);
  EXPECT_EQ(actual_flag, flag);
  EXPECT_EQ(pelorin::IsRvClientConfigPresent(nullptr), rv);
}

void AddProbedFiles(const std::wstring& prefix) {
  for (const wchar_t* name : {L"ClientConfig.qcf", L"PXYClientConfig.qcf"}) WriteBytes(prefix + name, "");
}

TEST(AgentConfig, FilesInTheInstallFolder) {
  const struct {
    const char* what;
    std::vector<std::wstring> files, folders;
    int32_t client, rv;
    uint32_t flag;
  } cases[] = {
      {"nothing", {}, {}, 0, 0, kUntouched},
      {"client config", {L"ClientConfig.qcf"}, {}, 1, 0, kUntouched},
      {"rv config", {L"RvClientConfig.qcf"}, {}, 0, 1, 0},
      {"rv and proxy config", {L"RvClientConfig.qcf", L"PXYClientConfig.qcf"}, {}, 0, 1, 0},
      {"proxy config only", {L"PXYClientConfig.qcf"}, {}, 0, 0, 1},
      {"folders are not files", {L"PXYClientConfig.qcf"}, {L"ClientConfig.qcf", L"RvClientConfig.qcf"}, 0, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    AgentInstall agent(registry);
    for (const std::wstring& name : c.files) agent.AddFile(name);
    for (const std::wstring& name : c.folders) MakeDirectory(agent.dir() + L"\\" + name);
    ExpectProbes(c.client, c.rv, c.flag);
  }
}

// A folder whose path, with its trailing backslash, is `length` characters
// long, holding both probed files.
std::wstring FolderOfLength(const TempDir& root, size_t length) {
  const std::wstring folder = root.path() + L"\\" + std::wstring(length - root.path().size() - 2, L'p');
  MakeDirectory(folder);
  AddProbedFiles(folder + L"\\");
  return folder + L"\\";
}

TEST(AgentConfig, InstallPathIsUsedAsStoredUpToMaxPath) {
  RegistrySandbox registry;
  ExpectProbes(0, 0, kUntouched);  // no agent key
  AgentInstall agent(registry);
  agent.AddFile(L"ClientConfig.qcf");
  agent.AddFile(L"PXYClientConfig.qcf");
  registry.SetString(kAgentKey, L"InstallPath", L"");
  ExpectProbes(0, 0, kUntouched);

  // No separator is added: without its trailing backslash the path names
  // files beside the folder.
  TempDir root;
  const std::wstring folder = root / L"Agent";
  MakeDirectory(folder);
  AddProbedFiles(folder + L"\\");
  registry.SetString(kAgentKey, L"InstallPath", folder);
  ExpectProbes(0, 0, kUntouched);
  AddProbedFiles(folder);
  ExpectProbes(1, 0, 1);

  const std::wstring fits = FolderOfLength(root, 259);
  ASSERT_EQ(fits.size(), 259u);
  registry.SetString(kAgentKey, L"InstallPath", fits);
  ExpectProbes(1, 0, 1);
  // 260 characters fill the buffer: stored without terminator they still fit.
  const std::wstring full = FolderOfLength(root, 260);
  ASSERT_EQ(full.size(), 260u);
  registry.SetRaw(kAgentKey, L"InstallPath", REG_SZ, (full + L'X').c_str(), 520);
  ExpectProbes(1, 0, 1);
  // One more character does not fit; its first 260 would name `full`.
  registry.SetString(kAgentKey, L"InstallPath", full + L"x");
  ExpectProbes(0, 0, kUntouched);
}

}  // namespace
