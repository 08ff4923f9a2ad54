// The native build has no real system to fall back on: code that reaches the
// platform without a simulated machine in place is a test set up wrongly.
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

namespace kw {

Platform& DefaultPlatform() {
  std::fprintf(stderr, "no platform in place: put a simulated machine in place first\n");
  std::abort();
}

}  // namespace kw
