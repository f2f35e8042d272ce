// The DLL as a host sees it: loading, the log sink, the install path export.
#include <gtest/gtest.h>

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

TEST(Boundary, InstallPathIsEmptyWithoutRegistration) {
  RegistrySandbox registry;
  PelorinDll dll;
  EXPECT_EQ(dll.InstallPath(), L"");
}

}  // namespace
