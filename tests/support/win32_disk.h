// Drive helpers shared by the Windows test programs (contract and end to
// end), which prepare and clear the machine around the program under test.
#ifndef KWUNINST_TESTS_SUPPORT_WIN32_DISK_H_
#define KWUNINST_TESTS_SUPPORT_WIN32_DISK_H_

#include <string>
#include <vector>

namespace kw::testing {

// The \\?\ form of a full path for the wide calls, which take every name
// as it is, of any length.
std::wstring ExtendedPath(const std::string& path);

// Where Windows NT keeps what MoveFileExA is to delete when it next starts.
constexpr const char* kSessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingDeletionsValue = "PendingFileRenameOperations";
// Those paths, oldest first.
std::vector<std::string> PendingDeletionsAtRestart();

// Removes a directory with everything in it, read-only files included.
void RemoveTreeOnDisk(const std::string& directory);

// The directory of the running test program (build\tests).
std::string TestProgramDirectory();

// The program build these tests run, which holds KWUNINST.EXE and tools\.
std::string ProgramBuildDirectory();

}  // namespace kw::testing

#endif  // KWUNINST_TESTS_SUPPORT_WIN32_DISK_H_
