// The fixtures are header-only; this source makes them a library target.
#include "Capture.h"
