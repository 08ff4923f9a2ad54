// What the fuzz targets share: a check that stops the run with its reason
// (libFuzzer then keeps the input that got there), splitting an input into
// pieces, and a fresh simulated machine in place of the platform per input.
#ifndef KWUNINST_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define KWUNINST_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_machine.h"

#define FUZZ_CHECK(condition)                                                         \
  ((condition) ? (void)0                                                              \
               : (std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, \
                               #condition),                                           \
                  std::abort()))

namespace kw::fuzz {

// The input cut at its first count - 1 line feeds: the last piece keeps the
// rest, line feeds included, so it can hold any bytes.  Fewer pieces when
// the input has fewer lines.
inline std::vector<std::string> Pieces(const std::uint8_t* data, std::size_t size,
                                       std::size_t count) {
  std::string rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> pieces;
  std::string::size_type feed;
  while (pieces.size() + 1 < count && (feed = rest.find('\n')) != std::string::npos) {
    pieces.push_back(rest.substr(0, feed));
    rest.erase(0, feed + 1);
  }
  pieces.push_back(rest);
  return pieces;
}

// A simulated machine for one input.  Whatever the input, the code under
// test must leave no registry key, file or search open behind it.
class CFuzzMachine {
 public:
  CFuzzMachine() : m_override(m_machine) {}
  ~CFuzzMachine() {
    FUZZ_CHECK(m_machine.Registry().OpenHandleCount() == 0);
    FUZZ_CHECK(m_machine.Files().OpenHandleCount() == 0);
  }
  sim::SimMachine& operator*() { return m_machine; }
  sim::SimMachine* operator->() { return &m_machine; }

 private:
  sim::SimMachine m_machine;
  ScopedPlatformOverride m_override;
};

}  // namespace kw::fuzz

#endif  // KWUNINST_TESTS_FUZZ_FUZZ_SUPPORT_H_
