// The demo's before-and-after pictures of the Wine machine, taken from the
// Linux side of its prefix: drive C:'s files, the registry keys the product
// and its neighbours use, DOSSTART.BAT, and what Windows is to delete when
// it restarts.
#ifndef KW_DEMO_PICTURES_H
#define KW_DEMO_PICTURES_H

#include <string>
#include <vector>

#include "tools/demo/reg_text.h"

namespace kw::demo {

// Files in the system's directories that the demo puts there: they are in
// the pictures, and must stay.
struct SystemFile {
  const char* path;
  const char* why;
};
inline constexpr SystemFile kSystemFiles[] = {
    {"C:\\windows\\DOSSTART.BAT", "the user's batch file: only the guard's lines go (below)"},
    {"C:\\windows\\Uninst.exe", "the system's setup-log uninstaller"},
};

// The registry items the demo installed, the product's and its
// neighbours' (<work>/k-ward.reg).
std::vector<RegItem> InstalledRegistry(const std::string& work);
// The keys the registry picture covers: those that hold the installed
// keys, so that what goes beside them is seen too.
std::vector<std::string> RegistryScope(const std::string& work);

// Writes <work>/<phase>-files.txt, -registry.txt, -dosstart.bat and
// -restart.txt, one item a line, of the machine in $WINEPREFIX.
void TakePictures(const std::string& phase, const std::string& work);

}  // namespace kw::demo

#endif
