#include "app/uninstall_app.h"

namespace kw {

// The product's leftover files are not deleted yet.
bool CUninstallApp::RemoveProductFiles(const CTrimString& /*taskDir*/) { return true; }

}  // namespace kw
