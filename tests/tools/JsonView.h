// Reading pelorinctl's --json output back for assertions.
#pragma once

#include <map>
#include <string>

#include "rapidjson/document.h"

namespace testing_support {

// Parses `text`; a parse error fails the calling test.
rapidjson::Document ParseJson(const std::string& text);

// The members of an object whose values are all strings.
std::map<std::string, std::string> StringMembers(const rapidjson::Value& object);

}  // namespace testing_support
