// Links Pelorin.dll through its import library and checks the install path
// it reports: consumer.exe [EXPECTED_DIR] (no argument: Firefox is not
// registered and the answer must be empty).
#include <cstdio>
#include <string>

#include "Pelorin.h"

int wmain(int argc, wchar_t** argv) {
  if (PelorinInitialize() != 0) {
    std::fputs("PelorinInitialize did not return 0\n", stderr);
    return 1;
  }
  std::wstring expected = argc > 1 ? argv[1] : L"";
  std::wstring found = get_firefox_install_path();
  if (found != expected) {
    std::fwprintf(stderr, L"get_firefox_install_path: expected \"%ls\", got \"%ls\"\n", expected.c_str(),
                  found.c_str());
    return 1;
  }
  std::fwprintf(stdout, L"install path ok: \"%ls\"\n", found.c_str());
  return 0;
}
