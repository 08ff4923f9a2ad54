#include "platform/platform.h"

namespace kw {
namespace {

// The one process-wide platform.  The program has a single thread, so a
// plain pointer does; tests swap it with ScopedPlatformOverride.
Platform* g_current = nullptr;

}  // namespace

bool IsPredefinedKey(RegKey key) {
  return key == kHkeyClassesRoot || key == kHkeyCurrentUser || key == kHkeyLocalMachine;
}

Platform& Os() {
  if (g_current == nullptr) g_current = &DefaultPlatform();
  return *g_current;
}

ScopedPlatformOverride::ScopedPlatformOverride(Platform& replacement)
    : m_previous(g_current) {
  g_current = &replacement;
}

ScopedPlatformOverride::~ScopedPlatformOverride() { g_current = m_previous; }

}  // namespace kw
