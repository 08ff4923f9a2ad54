// The demo's live lines and report (scripts/demo.sh runs it on the Linux
// side), and what it asks of the footprint:
//
//   demo_report --place <name>
//       the footprint's place of that name (install: C:\K-WARD\)
//   demo_report --programs 95|nt
//       the window titles of the product's programs that run on that Windows
//   demo_report --live
//       turns the box answerer's transcript on stdin into lines for the
//       user, as the events come
//   demo_report --report <work dir>
//       the before-and-after report (report.h)
//
// Everything in the report is observed; see README.md.
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/transcript_reader.h"
#include "tests/support/footprint.h"
#include "tools/demo/observed_run.h"
#include "tools/demo/report.h"
#include "tools/demo/text.h"

namespace kw::demo {
namespace {

// What the user sees of an event, or "" for the events left out.
std::string LiveLine(const Event& event) {
  const auto f = [&](const char* key) { return event.Get(key); };
  const std::string at = Right(Fixed(static_cast<double>(event.ms) / 1000, 1), 6) + " s  ";
  const std::string& kind = event.kind;
  if (kind == "started") return at + "started " + f("cmd");
  if (kind == "window" && f("exe") != "KWUNINST.EXE") {
    return at + "window \"" + f("title") + "\" of " + f("exe");
  }
  if (kind == "box") {
    return at + "box \"" + f("caption") + "\": " + f("text") + "  [" + f("buttons") + "]  -> " +
           f("pressed");
  }
  if (kind == "status-window" && f("update") == "0") {
    return at + "status window \"" + f("caption") + "\" appears (top-most " + f("topmost") +
           ", at " + f("rect") + ")" +
           (f("text") == "Static" ? "" : "\n" + at + "status: " + f("text"));
  }
  if (kind == "status") return at + "status: " + f("text");
  if (kind == "status-window-gone") return at + "status window closed";
  if (kind == "screenshot") return at + "screenshot " + LastPart(f("path"), "\\/");
  if (kind == "exit") return at + "KWUNINST.EXE ended with code " + f("code");
  if (kind == "timeout") return at + "KWUNINST.EXE did not end in time";
  if (kind == "error") return at + "box answerer: " + f("message");
  return "";
}

// A line boxanswer never writes is shown, and the rest goes on.
void Live() {
  transcript::ReadTranscript(std::cin, [](const Event& event, const std::string& error) {
    const std::string shown = error.empty() ? LiveLine(InUtf8(event)) : "box answerer: " + error;
    if (!shown.empty()) std::cout << shown << std::endl;
  });
}

}  // namespace
}  // namespace kw::demo

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  try {
    if (arguments == std::vector<std::string>{"--live"}) {
      kw::demo::Live();
      return 0;
    }
    if (arguments.size() == 2 && arguments[0] == "--place") {
      std::cout << kw::footprint::Place(arguments[1]) << '\n';
      return 0;
    }
    if (arguments.size() == 2 && arguments[0] == "--programs") {
      for (const kw::footprint::Program& program : kw::footprint::kPrograms) {
        if (kw::footprint::Is(program.runs, "both") || program.runs == arguments[1]) {
          std::cout << program.title << '\n';
        }
      }
      return 0;
    }
    if (arguments.size() == 2 && arguments[0] == "--report") {
      kw::demo::PrintReport(arguments[1]);
      return 0;
    }
  } catch (const std::exception& error) {
    std::cerr << "demo_report: " << error.what() << "\n";
    return 1;
  }
  std::cerr
      << "usage: demo_report --place <name> | --programs 95|nt | --live | --report <work dir>\n";
  return 2;
}
