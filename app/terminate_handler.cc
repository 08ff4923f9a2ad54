// What std::terminate does in the shipped program: abort, as the C++
// runtime's default handler does, without its report.
//
// The program throws no exceptions and is compiled without them, so the
// only way here is a failure inside the C++ library itself (memory exhausted
// in a string).  The runtime's default handler first writes the exception's
// demangled type to stderr, which a windowed program does not have; the
// demangler and the formatted output it brings along are about 50 KB, a
// fifth of the program.  Linked statically, this definition stands in for
// the library's, which the linker then leaves out.
#include <cxxabi.h>

#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
