// The library's handle types are the ones the host tool and the tests share.
#pragma once

#include "pelorin/UniqueHandle.h"
