#include "app/uninstall_app.h"

namespace kw {

void CUninstallApp::StopAgent() { m_bAgentWasRunning = 0; }

void CUninstallApp::RestartAgent() {}

bool CUninstallApp::CloseProductPrograms() { return true; }

}  // namespace kw
