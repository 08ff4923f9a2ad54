#include "tests/support/sim_test.h"

#include <cstdio>

#include "components/file_management.h"

namespace kw::testing {

SimTest::SimTest() : m_override(std::make_unique<ScopedPlatformOverride>(m_machine)) {
  // Each test is a fresh run of the program: no waiting budget yet.
  CFileManagement::ResetWaitBudget();
  m_machine.SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
}

SimTest::~SimTest() = default;

void SimTest::TearDown() {
  EXPECT_EQ(m_machine.Registry().OpenHandleCount(), 0u) << "registry keys left open";
  EXPECT_EQ(m_machine.Files().OpenHandleCount(), 0u) << "searches or files left open";
  if (HasFailure()) std::fprintf(stderr, "journal of the machine:\n%s", JournalText().c_str());
}

std::string SimTest::JournalText() const {
  std::string text;
  for (const sim::SimEvent& event : m_machine.Journal()) {
    text += std::to_string(event.atMs) + " ms  " + event.what + "\n";
  }
  return text;
}

}  // namespace kw::testing
