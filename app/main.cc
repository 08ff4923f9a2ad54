// The program's entry point: the one application object runs its start-up
// routine, which is the whole uninstall, and the program ends.
#include "app/uninstall_app.h"

namespace {

kw::CUninstallApp theApp;

}  // namespace

int main() {
  // The start-up routine always answers false: there is no message loop to
  // enter afterwards.
  theApp.InitInstance();
  return 0;
}
