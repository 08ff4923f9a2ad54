// The memory and string functions of the C library that KWUNINST.EXE needs:
// those the compiler calls for copies and clears of its own, and those the
// C++ library's string templates call.  Part of the program's own runtime
// (win32_runtime.cc), for KWUNINST.EXE alone.
//
// Compiled apart from the rest of the program, without link-time
// optimisation: GCC may drop such a definition from the optimised whole as
// unused, then emit a call to it while generating code.  Hence too this
// file defines no inline or template function: MinGW's linker refuses an
// object from outside the optimised whole that defines one of those the
// optimised objects define.  And compiled with
// -fno-tree-loop-distribute-patterns, so that GCC does not turn their loops
// back into calls to themselves.
#include <cstddef>
#include <cstdint>

extern "C" {

void* memcpy(void* to, const void* from, std::size_t count) {
  auto* out = static_cast<unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  while (count-- > 0) *out++ = *in++;
  return to;
}

void* memmove(void* to, const void* from, std::size_t count) {
  // Forward, unless the target begins inside the source (then the end
  // first): as unsigned numbers, a target below the source is far above it.
  const std::uintptr_t distance =
      reinterpret_cast<std::uintptr_t>(to) - reinterpret_cast<std::uintptr_t>(from);
  if (distance >= count) return memcpy(to, from, count);
  auto* out = static_cast<unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  while (count-- > 0) out[count] = in[count];
  return to;
}

void* memset(void* to, int value, std::size_t count) {
  auto* out = static_cast<unsigned char*>(to);
  while (count-- > 0) *out++ = static_cast<unsigned char>(value);
  return to;
}

int memcmp(const void* left, const void* right, std::size_t count) {
  const auto* a = static_cast<const unsigned char*>(left);
  const auto* b = static_cast<const unsigned char*>(right);
  for (; count > 0; --count, ++a, ++b) {
    if (*a != *b) return *a < *b ? -1 : 1;
  }
  return 0;
}

void* memchr(const void* where, int value, std::size_t count) {
  const auto* in = static_cast<const unsigned char*>(where);
  for (; count > 0; --count, ++in) {
    if (*in == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(in);
  }
  return nullptr;
}

std::size_t strlen(const char* text) {
  std::size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

}  // extern "C"
