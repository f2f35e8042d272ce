// The DLL as a host sees it: loading, the log sink, the install path export.
#include <gtest/gtest.h>

#include <vector>

#include "Files.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

TEST(Boundary, InitializeAndInstallPath) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  PelorinDll dll;
  EXPECT_EQ(dll.InstallPath(), L"");
  EXPECT_EQ(dll.Initialize(), 0);
  EXPECT_EQ(dll.Initialize(), 0);
  firefox.Register(registry);
  EXPECT_EQ(dll.InstallPath(), firefox.dir());
}

TEST(Boundary, VersionResourceNamesTheProductAndProjectVersion) {
  const std::wstring dll = ExecutableDir() + L"\\Pelorin.dll";
  DWORD ignored = 0;
  std::vector<char> block(GetFileVersionInfoSizeW(dll.c_str(), &ignored));
  ASSERT_FALSE(block.empty());
  ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  UINT length = 0;
  auto text = [&](const std::wstring& name) {
    wchar_t* value = nullptr;
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
    return VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) ? std::wstring(value)
                                                                                                   : std::wstring();
  };
  EXPECT_EQ(text(L"ProductName"), L"Pelorin");
  EXPECT_EQ(text(L"FileVersion"), L"" PELORIN_PROJECT_VERSION);
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), PELORIN_PROJECT_VERSION_MAJOR);
}

// Five arguments per call with a fixed origin. Messages before
// PelorinInitialize are dropped; PelorinUninitialize does not stop them.
TEST(LogSink, HandsEachMessageOverWithFixedOrigin) {
  RegistrySandbox registry;  // no Firefox: each start logs one failure
  PelorinDll dll;
  ZarnStartParams params;
  ASSERT_EQ(dll.ZarnStart(&params, L"", L"", 0), -1);
  dll.Initialize();
  ASSERT_EQ(dll.ZarnStart(&params, L"", L"", 0), -1);
  dll.Uninitialize();
  ASSERT_EQ(dll.ZarnStart(&params, L"", L"", 0), -1);

  const std::vector<LogRecord> records = OrlixDouble::Records();
  ASSERT_EQ(records.size(), 2u);
  for (const LogRecord& record : records) {
    EXPECT_EQ(record.source_path, L"src/Pelorin/Pelorin.cpp");
    EXPECT_EQ(record.function, L"pelorin_debugf");
    EXPECT_EQ(record.line, 37);
    EXPECT_EQ(record.level, 1);
    EXPECT_EQ(record.message, L"PelorinZARNFFStart firefox install path is empty.");
  }
}

}  // namespace
