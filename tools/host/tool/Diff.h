// A file's change as lines: which old lines stay, which go, which are new.
#pragma once

#include <string_view>
#include <vector>

#include "files/Content.h"
#include "tool/Tool.h"

namespace pelorin::tool {

// Every line of `before` and of `after` in order, each kept, removed or
// added. The pieces tell which new lines are old ones: a piece that lies in
// the old bytes was kept there.
std::vector<DiffLine> DiffLines(std::string_view before, const Content& after);

}  // namespace pelorin::tool
