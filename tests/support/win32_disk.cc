#include "tests/support/win32_disk.h"

#include <windows.h>

#include <algorithm>

namespace kw::testing {

void RemoveTreeOnDisk(const std::string& directory) {
  WIN32_FIND_DATAA data;
  const HANDLE search = FindFirstFileA((directory + "\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = directory + "\\" + name;
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTreeOnDisk(path);
      } else {
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &data));
    FindClose(search);
  }
  RemoveDirectoryA(directory.c_str());
}

std::string TestProgramDirectory() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, length);
  directory.erase(directory.rfind('\\'));
  return directory;
}

std::string ProgramBuildDirectory() {
  // The build passes it as a Unix path; Wine's drive Z: is the Unix root.
  std::string directory = "Z:" KW_PROGRAM_BUILD_DIR;
  std::replace(directory.begin(), directory.end(), '/', '\\');
  return directory;
}

}  // namespace kw::testing
