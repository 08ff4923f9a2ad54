// The runtime of KWUNINST.EXE: the little that a C runtime DLL gave the
// program, made of KERNEL32 calls, so that the program needs no C runtime
// DLL at all.  MSVCRT.DLL is "included in Windows 2000, Windows 98, and
// Windows Me, but not in Windows 95" (Microsoft's article Q156976): on a
// Windows 95 without it the loader would refuse the program before its
// first line, and the product could not be removed.
//
// Here: the entry point, which builds and destroys the global objects;
// memory from the process heap behind operator new and delete; the C++
// library's error exits.  Beside it, win32_runtime_strings.cc has the few
// memory and string functions of the C library that the compiler and the
// C++ library's templates call.  Several functions of both are called by
// the compiler and the C++ library under the names a C runtime gives them.
//
// The program is linked without the C runtime (-nostdlib), against the
// static C++ and GCC support libraries, and what it links is compiled
// without exceptions, RTTI and unwind tables, so that nothing pulls the C++
// library's exception machinery in.  Only KWUNINST.EXE is built on this
// runtime: the tools and the test programs keep the usual one.
#include <windows.h>

#include <cstddef>
#include <new>
#include <string>

// The C++ library declares std::string an extern template: its members would
// come from the library's own instance, which is compiled with exceptions
// and brings their machinery, the demangler and a formatted error report
// along (about 100 KB).  This instance is compiled as the program is.
template class std::basic_string<char>;

namespace {

// The exit codes of an end the program did not choose: the one abort() gave,
// and the one for memory.
constexpr UINT kExitLibraryFault = 3;
constexpr UINT kExitOutOfMemory = ERROR_NOT_ENOUGH_MEMORY;

// --- Fault switch: for the end-to-end tests only ----------------------------
//
// KW_FAIL_ALLOCATIONS_FROM=<bytes> makes every allocation of at least that
// many bytes fail, as if memory had run out, so that the tests can run the
// real program down its out-of-memory path.  Only the end-to-end tests set
// it; without it (or with anything but digits) nothing fails.
std::size_t g_failAllocationsFrom = static_cast<std::size_t>(-1);

void ReadFaultSwitch() {
  char text[24];
  const DWORD length = GetEnvironmentVariableA("KW_FAIL_ALLOCATIONS_FROM", text, sizeof text);
  if (length == 0 || length >= sizeof text) return;
  std::size_t bytes = 0;
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return;
    bytes = bytes * 10 + static_cast<std::size_t>(text[i] - '0');
  }
  g_failAllocationsFrom = bytes;
}

// --- Memory --------------------------------------------------------------------

// What operator new does when the heap has no room: the program's new
// handler runs, and either makes room (then the allocation is tried again)
// or ends the program.  Without a handler the program ends here: it has no
// way to go on without the memory it asked for.
void RunOutOfMemory() {
  const std::new_handler handler = std::get_new_handler();
  if (handler == nullptr) ExitProcess(kExitOutOfMemory);
  handler();
}

// A request that no room could ever meet: the new handler runs, which ends
// the program; without one it ends here.
[[noreturn]] void RefuseRequest() {
  const std::new_handler handler = std::get_new_handler();
  if (handler != nullptr) handler();
  ExitProcess(kExitOutOfMemory);
}

void* Allocate(std::size_t size) {
  for (;;) {
    void* block = size < g_failAllocationsFrom ? HeapAlloc(GetProcessHeap(), 0, size) : nullptr;
    if (block != nullptr) return block;
    RunOutOfMemory();
  }
}

void Release(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

// --- Global objects ---------------------------------------------------------------

// The constructors of the global objects, as the linker gathers them: a
// first entry of -1 (or the count), the functions, and a 0 after the last.
// GCC's own start-up runs them from the last to the first.
extern "C" void (*__CTOR_LIST__[])();

void RunConstructors() {
  std::size_t count = reinterpret_cast<std::size_t>(__CTOR_LIST__[0]);
  if (count == static_cast<std::size_t>(-1)) {
    for (count = 0; __CTOR_LIST__[count + 1] != nullptr; ++count) {
    }
  }
  for (std::size_t i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

// The destructors of the global and function-local static objects, which
// the compiler registers with atexit() as each object is built.  The
// program has a handful; room for more than it will ever have.
constexpr int kMaxExitFunctions = 32;
void (*g_exitFunctions[kMaxExitFunctions])();
int g_exitFunctionCount = 0;

void RunExitFunctions() {
  while (g_exitFunctionCount > 0) g_exitFunctions[--g_exitFunctionCount]();
}

}  // namespace

// The program's body (app/main.cc).
int main();

extern "C" {

// Where Windows starts the program: the name the linker looks for in a
// windowed program.  Builds the global objects, runs main, destroys them
// again and ends the process with main's result.
#if defined(__i386__)
// Windows starts a program on a stack aligned to 4 bytes; GCC's code
// assumes 16.
__attribute__((force_align_arg_pointer))
#endif
[[noreturn]] __attribute__((used, externally_visible)) void WinMainCRTStartup() {
  ReadFaultSwitch();
  RunConstructors();
#pragma GCC diagnostic push
  // The entry point is the part of a C runtime that calls main, which ISO C++
  // leaves to the implementation; this file is that implementation.
#pragma GCC diagnostic ignored "-Wpedantic"
  const int result = main();
#pragma GCC diagnostic pop
  RunExitFunctions();
  ExitProcess(static_cast<UINT>(result));
}

// GCC calls __main at the start of main on this target, for a runtime that
// builds the global objects there.  The entry point has built them already.
void __main() {}

int atexit(void (*function)()) {
  if (g_exitFunctionCount == kMaxExitFunctions) return -1;
  g_exitFunctions[g_exitFunctionCount++] = function;
  return 0;
}

// A pure virtual function called during its object's construction or
// destruction: a fault of the program.
void __cxa_pure_virtual() { ExitProcess(kExitLibraryFault); }

}  // extern "C"

// --- operator new and delete -------------------------------------------------------

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }

// --- The C++ library's error exits ------------------------------------------------
//
// Compiled without exceptions, the library's templates call these where they
// would throw.  A request larger than memory can be is memory running out;
// the others are faults of the program, which ends as abort() ended it.
namespace std {

void __throw_bad_alloc() { RefuseRequest(); }
void __throw_bad_array_new_length() { RefuseRequest(); }
void __throw_length_error(const char*) { RefuseRequest(); }
void __throw_logic_error(const char*) { ExitProcess(kExitLibraryFault); }
void __throw_out_of_range(const char*) { ExitProcess(kExitLibraryFault); }
void __throw_out_of_range_fmt(const char*, ...) { ExitProcess(kExitLibraryFault); }
void __throw_invalid_argument(const char*) { ExitProcess(kExitLibraryFault); }
void __throw_bad_function_call() { ExitProcess(kExitLibraryFault); }

}  // namespace std
