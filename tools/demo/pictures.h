// What the demo's pictures of the Wine machine take in: drive C: outside
// the system's own directories, but for the files the demo puts there, and
// the registry keys that hold the product's and its neighbours' keys
// (footprint::RegistryScope).  kwmachine.exe takes them, the report reads
// them.
#ifndef KW_DEMO_PICTURES_H
#define KW_DEMO_PICTURES_H

namespace kw::demo {

// The system's directories, left out of the picture; a 64-bit machine has a
// second one for its 32-bit programs.
inline constexpr const char* kSystemDirectories[] = {"C:\\windows\\", "C:\\Program Files\\",
                                                     "C:\\Program Files (x86)\\", "C:\\ProgramData\\",
                                                     "C:\\users\\"};

// Files in them that the demo puts there: they are in the pictures, and
// must stay.
struct SystemFile {
  const char* path;
  const char* why;
};
inline constexpr SystemFile kSystemFiles[] = {
    {"C:\\windows\\DOSSTART.BAT", "the user's batch file: only the guard's lines go (below)"},
    {"C:\\windows\\Uninst.exe", "the system's setup-log uninstaller"},
};

}  // namespace kw::demo

#endif
