// Small helpers shared by the test stand-ins: trace lines, environment
// options, a few string utilities and their window class.
//
// The stand-ins replace outside programs that KWUNINST drives, so that the
// end-to-end tests can check what KWUNINST did to them (and when) by reading
// the trace files the stand-ins append to.
#ifndef KWUNINST_TESTS_STANDINS_TRACE_H_
#define KWUNINST_TESTS_STANDINS_TRACE_H_

#include <windows.h>

#include <cstdint>
#include <string>

namespace standin {

// Milliseconds since the Unix epoch, taken from the system clock.  Every
// process (stand-ins, KWUNINST, test drivers) can read this clock, so lines
// written by different processes can be put on one time line.
std::uint64_t UnixMillisNow();

// Appends "<ms since epoch>\t<text>\n" to the file `path`; does nothing when
// `path` is empty.  The file is opened, appended to, flushed and closed for
// every line: a stand-in may be killed at any moment (that is what some tests
// do to it), and whatever it traced before must already be on disk.
// Failures are ignored on purpose: a stand-in must behave the same whether
// or not its trace can be written.
void AppendTraceLine(const std::string& path, const std::string& text);

// Value of an environment variable, or "" when it is not set.
std::string GetEnv(const char* name);

// Unsigned decimal value of an environment variable; `fallback` when it is
// unset, empty or not a number.
unsigned long GetEnvUnsigned(const char* name, unsigned long fallback);

// The process's current directory ("" if it cannot be read).
std::string CurrentDirectory();

// `text` with CR and LF turned into spaces, so one event stays one line.
std::string OneLine(std::string text);

// ASCII upper-casing (file names and keywords we compare are ASCII).
std::string ToUpperAscii(std::string text);

// "0x" followed by the hexadecimal value.
std::string Hex(std::uintptr_t value);

// Registers a plain top-level window class with the arrow cursor and the
// system colour `background` (COLOR_WINDOW, COLOR_BTNFACE...).
void RegisterWindowClass(HINSTANCE instance, const char* name, WNDPROC procedure,
                         int background);

}  // namespace standin

#endif  // KWUNINST_TESTS_STANDINS_TRACE_H_
