// A test fixture that puts a fresh simulated machine in place of the
// platform for the length of one test, and checks afterwards that the code
// under test left no registry key, search or file open and no box unanswered.
#ifndef KWUNINST_TESTS_SUPPORT_SIM_TEST_H_
#define KWUNINST_TESTS_SUPPORT_SIM_TEST_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_machine.h"

namespace kw::testing {

// A component's recorded error as "code argument"; reading it clears it.
template <typename Component>
std::string ErrorOf(Component& component) {
  std::int32_t code = 0;
  std::string argument;
  component.GetError(code, argument);
  return std::to_string(code) + " " + argument;
}

class SimTest : public ::testing::Test {
 protected:
  SimTest();
  ~SimTest() override;
  void TearDown() override;

  sim::SimMachine& Machine() { return m_machine; }
  const sim::SimMachine& Machine() const { return m_machine; }
  sim::SimRegistry& Registry() { return m_machine.Registry(); }
  sim::SimFileSystem& Files() { return m_machine.Files(); }

  // The journal lines starting with a prefix.
  std::vector<std::string> Journal(const std::string& prefix = "") const {
    return m_machine.JournalOf(prefix);
  }
  // Every journal line, with its time, for failure messages.
  std::string JournalText() const;

 private:
  sim::SimMachine m_machine;
  std::unique_ptr<ScopedPlatformOverride> m_override;
};

}  // namespace kw::testing

#endif  // KWUNINST_TESTS_SUPPORT_SIM_TEST_H_
