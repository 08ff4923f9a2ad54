#include "tests/support/win32_disk.h"

#include <windows.h>

#include <algorithm>

namespace kw::testing {

std::wstring ExtendedPath(const std::string& path) {
  const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length - 1 : 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
  return L"\\\\?\\" + wide;
}

namespace {

void RemoveWideTree(const std::wstring& root) {
  WIN32_FIND_DATAW data;
  const HANDLE search = FindFirstFileW((root + L"\\*").c_str(), &data);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = root + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveWideTree(path);
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(search, &data));
    FindClose(search);
  }
  RemoveDirectoryW(root.c_str());
}

}  // namespace

void RemoveTreeOnDisk(const std::string& directory) {
  // The wide calls with \\?\ paths reach every name: too long ones, and
  // those ending in a dot or a blank.
  std::string path = directory;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  RemoveWideTree(ExtendedPath(path));
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
