// Locating the installation from whatever the registry holds.  Input: the
// Windows directory, then the three values the program reads, one a line (a
// missing line leaves that value unset).  A directory found is later emptied:
// it must start a path in one of the values, be a plain full path below a
// drive root, and neither the Windows directory, hold it, nor lie inside it.
#include <cctype>

#include "app/uninstall_app.h"
#include "tests/fuzz/fuzz_support.h"

namespace kw {
namespace {

struct Source {
  RegKey root;
  const char* key;
  const char* name;
};
const Source kSources[] = {
    {kHkeyLocalMachine, "System\\CurrentControlSet\\Control\\SessionManager\\KnownVxds", "ZRP"},
    {kHkeyClassesRoot, "kwt_auto_file\\shell\\open\\command", ""},
    {kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\K-WARD 95",
     "UninstallString"},
};

// Windows ignores dots and blanks at the end of a name: what is left must
// still be a name, and one that cannot be read as a pattern, device or drive.
bool IsPlainName(std::string name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  for (char c : name) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (std::string("<>:\"/|?*").find(c) != std::string::npos) return false;
  }
  return !name.empty();
}

void CheckUsable(const std::string& dir, const std::string& windowsDir) {
  FUZZ_CHECK(dir.size() >= 4 && std::isalpha(static_cast<unsigned char>(dir[0])) &&
             dir.compare(1, 2, ":\\") == 0 && dir.back() == '\\');
  for (std::string::size_type start = 3; start < dir.size();) {
    const std::string::size_type end = dir.find('\\', start);
    FUZZ_CHECK(IsPlainName(dir.substr(start, end - start)));
    start = end + 1;
  }
  CTrimString windows = windowsDir;
  windows.StripTrailingBackslashes();
  const std::string windowsUpper = UpperCased(windows + "\\");
  FUZZ_CHECK(windowsUpper.rfind(UpperCased(dir), 0) != 0);
  FUZZ_CHECK(windows.empty() || UpperCased(dir).rfind(windowsUpper, 0) != 0);
}

}  // namespace
}  // namespace kw

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kw;
  const std::vector<std::string> pieces = fuzz::Pieces(data, size, 4);
  fuzz::CFuzzMachine machine;
  machine->SetWindowsDirectory(pieces[0]);
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    const Source& source = kSources[i - 1];
    machine->Registry().SetValue(source.root, source.key, source.name, kRegSz, pieces[i]);
  }
  CUninstallApp app;
  if (!app.LocateInstallDir()) {
    FUZZ_CHECK(app.GetInstallDir().empty());
    return 0;
  }
  CheckUsable(app.GetInstallDir(), pieces[0]);
  bool fromASource = false;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    // As the program reads a path: a CTrimString, a quoted one trimmed inside the quote too.
    CTrimString path = pieces[i];
    if (!path.empty() && path.front() == '"') path = path.substr(1);
    fromASource = fromASource || path.rfind(app.GetInstallDir(), 0) == 0;
  }
  FUZZ_CHECK(fromASource);
  return 0;
}
