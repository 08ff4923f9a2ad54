// The demo's before-and-after report: what was removed (and by whom), what
// was kept and why, the lines taken out of DOSSTART.BAT, what Windows is to
// delete when it restarts, every box with its answer, the screenshots, what
// the other programs saw, and KWUNINST's own record.  An item kept without
// a reason, or a neighbour removed, is marked NOT EXPECTED.
#ifndef KW_DEMO_REPORT_H
#define KW_DEMO_REPORT_H

#include <string>

namespace kw::demo {

// Prints the report of the run in the work directory; throws
// std::runtime_error when its transcript or traces cannot be read.
void PrintReport(const std::string& work);

}  // namespace kw::demo

#endif
