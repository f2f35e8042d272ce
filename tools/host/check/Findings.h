// Every finding the check can report: its stable code and the one sentence
// that says what to do about it, whatever file or value it names. Fleet
// tools show that sentence as the remediation of a failed rule.
#pragma once

#include <string_view>

namespace pelorin {

struct FindingKind {
  const char* code;
  const char* remedy;
};

const FindingKind* FindingKindsBegin();
const FindingKind* FindingKindsEnd();

// nullptr for a code the check never reports.
const FindingKind* FindFindingKind(std::string_view code);

}  // namespace pelorin
