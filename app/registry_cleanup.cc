#include "app/uninstall_app.h"

namespace kw {

// The product's registry keys and values are not removed yet.
bool CUninstallApp::RemoveRegistryItems(CTrimString& /*taskDir*/) { return true; }

}  // namespace kw
