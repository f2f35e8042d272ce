#include "JsonView.h"

#include <gtest/gtest.h>

namespace testing_support {

rapidjson::Document ParseJson(const std::string& text) {
  rapidjson::Document document;
  document.Parse<rapidjson::kParseValidateEncodingFlag>(text.c_str());
  EXPECT_FALSE(document.HasParseError()) << "not JSON:\n" << text;
  EXPECT_TRUE(!document.HasParseError() && document.IsObject()) << text;
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
