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

std::vector<std::string> PendingDeletionsAtRestart() {
  // Pairs of names: "\\??\\" and the path, then an empty new name.
  std::vector<std::string> paths;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return paths;
  }
  std::string data(65536, '\0');
  DWORD size = static_cast<DWORD>(data.size());
  if (RegQueryValueExA(key, kPendingDeletionsValue, nullptr, nullptr,
                       reinterpret_cast<BYTE*>(data.data()), &size) == ERROR_SUCCESS) {
    data.resize(size);
    for (std::size_t at = 0; at < data.size() && data[at] != '\0';) {
      const std::string source = data.c_str() + at;
      paths.push_back(source.substr(source.rfind("\\??\\", 0) == 0 ? 4 : 0));
      at += source.size() + 1;
      at += std::string(data.c_str() + at).size() + 1;
    }
  }
  RegCloseKey(key);
  return paths;
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
