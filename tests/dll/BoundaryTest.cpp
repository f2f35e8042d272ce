// The DLL as a host sees it: loading, the log sink, the install path export.
#include <gtest/gtest.h>

#include <vector>

#include "Files.h"
#include "PelorinDll.h"
#include "Sandboxes.h"

using namespace testing_support;

namespace {

TEST(Boundary, InitializeReturnsZeroEveryTime) {
  PelorinDll dll;
  ASSERT_NE(dll.Initialize, nullptr);
  EXPECT_EQ(dll.Initialize(), 0);
  EXPECT_EQ(dll.Initialize(), 0);
}

TEST(Boundary, InstallPathComesFromTheRegisteredCommand) {
  RegistrySandbox registry;
  FirefoxInstall firefox;
  firefox.Register(registry);
  PelorinDll dll;
  dll.Initialize();
  EXPECT_EQ(dll.InstallPath(), firefox.dir());
}

TEST(Boundary, VersionResourceNamesTheProductAndProjectVersion) {
  std::wstring dll = ExecutableDir() + L"\\Pelorin.dll";
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, block.data()));
  auto text = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT length = 0;
    std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&value), &length)) return std::wstring();
    return std::wstring(value);
  };
  EXPECT_EQ(text(L"ProductName"), L"Pelorin");
  EXPECT_EQ(text(L"FileVersion"), L"" PELORIN_PROJECT_VERSION);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), PELORIN_PROJECT_VERSION_MAJOR);
}

TEST(Boundary, InstallPathIsEmptyWithoutRegistration) {
  RegistrySandbox registry;
  PelorinDll dll;
  EXPECT_EQ(dll.InstallPath(), L"");
}

}  // namespace
