#include "app/uninstall_app.h"

namespace kw {

// DOSSTART.BAT is not edited yet.
bool CUninstallApp::RemoveStartupBatchEntries() { return true; }

}  // namespace kw
