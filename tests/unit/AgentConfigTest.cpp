// The probes of the agent's installation: registry path plus file presence.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Files.h"
#include "Registry.h"
#include "Sandboxes.h"
#include "dlp/AgentConfig.h"

using namespace testing_support;

namespace {

constexpr uint32_t kUntouched = 7;

struct Probe {
  int32_t client;
  int32_t rv;
  uint32_t flag;
};

// Both probes, the second once with a flag and once with a null pointer,
// which must give the same result.
Probe RunProbes() {
  uint32_t flag = kUntouched;
  Probe probe{pelorin::IsClientConfigPresent(), pelorin::IsRvClientConfigPresent(&flag), flag};
  EXPECT_EQ(pelorin::IsRvClientConfigPresent(nullptr), probe.rv);
  return probe;
}

void ExpectProbe(const Probe& actual, const Probe& expected) {
  EXPECT_EQ(actual.client, expected.client);
  EXPECT_EQ(actual.rv, expected.rv);
  EXPECT_EQ(actual.flag, expected.flag);
}

TEST(AgentConfig, FilesInTheInstallFolder) {
  struct Case {
    const char* what;
    std::vector<std::wstring> files;
    std::vector<std::wstring> folders;
    Probe expected;
  };
  const Case cases[] = {
      {"nothing", {}, {}, {0, 0, kUntouched}},
      {"client config", {L"ClientConfig.qcf"}, {}, {1, 0, kUntouched}},
      {"rv config", {L"RvClientConfig.qcf"}, {}, {0, 1, 0}},
      {"rv and proxy config", {L"RvClientConfig.qcf", L"PXYClientConfig.qcf"}, {}, {0, 1, 0}},
      {"proxy config only", {L"PXYClientConfig.qcf"}, {}, {0, 0, 1}},
      {"folders are not files", {L"PXYClientConfig.qcf"}, {L"ClientConfig.qcf", L"RvClientConfig.qcf"}, {0, 0, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegistrySandbox registry;
    AgentInstall agent(registry);
    for (const std::wstring& name : c.files) agent.AddFile(name);
    for (const std::wstring& name : c.folders) MakeDirectory(agent.dir() + L"\\" + name);
    ExpectProbe(RunProbes(), c.expected);
  }
}

TEST(AgentConfig, FileNamesAreAppendedWithoutSeparator) {
  RegistrySandbox registry;
  TempDir root;
  std::wstring folder = root / L"Agent";
  MakeDirectory(folder);
  for (const wchar_t* name : {L"ClientConfig.qcf", L"PXYClientConfig.qcf"}) {
    WriteBytes(folder + L"\\" + name, "");
  }
  registry.SetString(kAgentKey, L"InstallPath", folder);
  ExpectProbe(RunProbes(), {0, 0, kUntouched});

  WriteBytes(folder + L"ClientConfig.qcf", "");
  WriteBytes(folder + L"PXYClientConfig.qcf", "");
  ExpectProbe(RunProbes(), {1, 0, 1});
}

TEST(AgentConfig, NoUsableInstallPathFindsNothing) {
  RegistrySandbox registry;
  ExpectProbe(RunProbes(), {0, 0, kUntouched});  // no agent key

  AgentInstall agent(registry);
  agent.AddFile(L"ClientConfig.qcf");
  agent.AddFile(L"PXYClientConfig.qcf");
  registry.SetString(kAgentKey, L"InstallPath", L"");
  ExpectProbe(RunProbes(), {0, 0, kUntouched});
}

// A folder whose path, with its trailing backslash, is exactly `length`
// characters long, holding both probed file names.
std::wstring FolderOfLength(const TempDir& root, size_t length) {
  std::wstring folder = root.path();
  size_t remaining = length - folder.size() - 1;  // before the final backslash
  while (remaining > 0) {
    size_t part = std::min<size_t>(remaining - 1, 100);
    if (remaining - part - 1 == 1) --part;  // leave room for a whole segment
    folder += L'\\' + std::wstring(part, L'p');
    MakeDirectory(folder);
    remaining -= part + 1;
  }
  folder += L'\\';
  WriteBytes(folder + L"ClientConfig.qcf", "");
  WriteBytes(folder + L"PXYClientConfig.qcf", "");
  return folder;
}

TEST(AgentConfig, InstallPathMustFitMaxPath) {
  RegistrySandbox registry;
  TempDir root;
  std::wstring fits = FolderOfLength(root, 259);
  ASSERT_EQ(fits.size(), 259u);
  registry.SetString(kAgentKey, L"InstallPath", fits);
  ExpectProbe(RunProbes(), {1, 0, 1});

  // 260 characters fill the buffer: stored without terminator they still fit.
  std::wstring full = FolderOfLength(root, 260);
  ASSERT_EQ(full.size(), 260u);
  registry.SetRaw(kAgentKey, L"InstallPath", REG_SZ, (full + L'X').c_str(), 520);
  ExpectProbe(RunProbes(), {1, 0, 1});

  // One more character does not fit; its first 260 would name `full`.
  registry.SetString(kAgentKey, L"InstallPath", full + L"x");
  ExpectProbe(RunProbes(), {0, 0, kUntouched});
}

}  // namespace
