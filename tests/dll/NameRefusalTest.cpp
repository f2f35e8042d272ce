// A start given a loader or autoconfig file name that is not one plain file
// name: refused before anything is read, with one log line.
#include <gtest/gtest.h>

#include <filesystem>

#include "Scene.h"

using namespace testing_support;

namespace {

TEST(NameRefusal, StartsWriteRecordAndSaveNothing) {
  enum Call { kZarn, kTovk, kDlp };
  const struct {
    Call call;
    std::wstring loader, cfg, logged;
  } rows[] = {
      {kZarn, L"", L"sub\\x.cfg",
       L"PelorinZARNFFStart refused the file name \"sub\\x.cfg\": it holds a path separator."},
      {kTovk, L"..", L"a.cfg", L"PelorinTOVKFFStart refused the file name \"..\": it is \".\" or \"..\"."},
      {kDlp, L"a\"b.js", L"", L"PelorinDLPFFStart refused the file name \"a\"b.js\": it holds a double quote."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(Narrow(row.logged));
    Scene scene;
    int32_t result = 0;
    if (row.call == kZarn) result = scene.dll->ZarnStart(nullptr, row.loader, row.cfg, 0);
    if (row.call == kTovk) result = scene.dll->TovkStart(nullptr, row.loader, row.cfg, 0);
    if (row.call == kDlp) result = scene.dll->DlpStart(nullptr, row.loader, row.cfg);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(OrlixDouble::Messages(), std::vector<std::wstring>{row.logged});
    // Beside and below Firefox's folder, only the folders the scene made.
    const std::filesystem::path root = std::filesystem::path(scene.firefox.dir()).parent_path();
    EXPECT_EQ(std::distance(std::filesystem::recursive_directory_iterator(root), {}), 3);
    EXPECT_FALSE(scene.registry.ReadString(kAgentCommonKey, L"FFCFG"));
    OrlixDouble::Clear();
    EXPECT_EQ(scene.dll->Uninitialize(), 0);
    EXPECT_TRUE(OrlixDouble::Messages().empty());  // no start saved to replay
  }
}

}  // namespace
