// Nothing may be thrown across the DLL boundary: the host is not C++-aware
// of this library's runtime, and an exception would end its process.
#pragma once

#include <utility>

namespace pelorin {

template <typename Result, typename Body>
Result CatchAtBoundary(Result on_failure, Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (...) {
    // std::bad_alloc in practice: every operation builds strings and lists.
    return on_failure;
  }
}

}  // namespace pelorin
