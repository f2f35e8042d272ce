#include "autoconfig/LoaderLines.h"

#include "files/TextConversion.h"

namespace pelorin {

std::string FilenameLine(const std::wstring& cfg_name) {
  return "pref(\"general.config.filename\", \"" + WideToUtf8(cfg_name) + "\");";
}

}  // namespace pelorin
