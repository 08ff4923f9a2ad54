#include "tests/e2e/e2e_machine.h"

#include <windows.h>

#include <cstdlib>
#include <set>

#include <gtest/gtest.h>

namespace kw::e2e {
namespace {

constexpr const char* kInstallDir = "C:\\K-WARD";
constexpr const char* kKwuninstWineSettings = "Software\\Wine\\AppDefaults\\KWUNINST.EXE";

std::string InWorkDir(const char* name) { return std::string(kWorkDir) + "\\" + name; }
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The transcript and the traces through the one reader of their formats; a
// line their writers never write fails the test.
std::vector<Event> Events(const transcript::Reading& reading, const std::string& path) {
  for (const std::string& error : reading.errors) ADD_FAILURE() << path << ", " << error;
  return reading.events;
}

}  // namespace

std::vector<Event> EventsOf(const std::vector<Event>& trace, const std::string& kind,
                            const std::string& program) {
  std::vector<Event> matching;
  for (const Event& event : trace) {
    if (event.kind == kind && (program.empty() || event.program == program)) matching.push_back(event);
  }
  return matching;
}

std::string TraceText(const std::vector<Event>& trace) {
  std::string text;
  for (const Event& event : trace) {
    text += std::to_string(event.ms) + " " + event.program + " " + event.kind + " " + DetailText(event) + "\n";
  }
  return text;
}

std::string DetailText(const Event& event) {
  std::string text;
  for (std::size_t i = 0; i < event.detail.size(); ++i) text += (i ? "\t" : "") + event.detail[i];
  return text;
}

std::vector<std::string> Transcript::StatusTexts() const {
  std::vector<std::string> texts;
  const std::vector<Event> windows = Of("status-window");
  // The first status may already be up when the window is first seen.
  if (!windows.empty() && windows[0].Get("text") != "Static") texts.push_back(windows[0].Get("text"));
  for (const Event& status : Of("status")) texts.push_back(status.Get("text"));
  return texts;
}

std::int64_t Transcript::EpochOf(const Event& event) const {
  const std::vector<Event> started = Of("started");
  return started.empty() ? 0 : std::atoll(started[0].Get("epoch").c_str()) + event.ms;
}

std::int64_t Transcript::EpochOfStatus(const std::string& text) const {
  for (const Event& status : Of("status")) {
    if (status.Get("text") == text) return EpochOf(status);
  }
  return -1;
}

std::string Transcript::Text() const {
  return "box answerer exit code " + std::to_string(answererExitCode) + "\n" + TraceText(events);
}

void ResetTestMachine() {
  ResetMachine();
  RemoveTreeOnDisk(kWorkDir);
  CreateDirectoryA(kWorkDir, nullptr);
  SetEnv("KW_UNINST_TRACE", InWorkDir("uninst-trace.txt"));
  SetEnv("KW_STANDIN_TRACE", InWorkDir("product-trace.txt"));
  for (const char* option : {"KW_UNINST_TICK_MS", "KW_FAIL_ALLOCATIONS_FROM"}) SetEnv(option, "");
  RegDeleteTreeA(HKEY_CURRENT_USER, kKwuninstWineSettings);
}

void DisableCRuntimeForKwuninst() {
  // An empty load order: the DLL is not loaded at all.
  SetString("HKCU", std::string(kKwuninstWineSettings) + "\\DllOverrides", "msvcrt", "");
}

std::vector<std::string> SystemDllsNeedingCRuntime() {
  // Read from the import tables of the DLLs as this test program has them
  // loaded: the same system DLLs, of the same architecture, as KWUNINST.EXE
  // gets.
  std::vector<std::string> needing, toRead = {"KERNEL32.DLL", "USER32.DLL", "ADVAPI32.DLL"};
  std::set<std::string> seen(toRead.begin(), toRead.end());
  while (!toRead.empty()) {
    const std::string name = toRead.back();
    toRead.pop_back();
    const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(name.c_str()));
    if (base == nullptr) continue;  // not loaded, so not needed here either
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) continue;
    for (auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name != 0; ++entry) {
      std::string imported = reinterpret_cast<const char*>(base + entry->Name);
      CharUpperBuffA(imported.data(), static_cast<DWORD>(imported.size()));
      if (imported == "MSVCRT.DLL") needing.push_back(name);
      if (seen.insert(imported).second) toRead.push_back(imported);
    }
  }
  return needing;
}

void SetEnv(const std::string& name, const std::string& value) {
  // For the process and for the C runtime.
  SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str());
  _putenv((name + "=" + value).c_str());
}

std::string ArtifactsDir() {
  char path[MAX_PATH];
  std::string directory(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
  directory = directory.substr(0, directory.rfind('\\')) + "\\artifacts";
  CreateDirectoryA(directory.c_str(), nullptr);
  return directory;
}

Snapshot TakeTestSnapshot() { return TakeSnapshot({kWorkDir}); }

RunOptions Answering(const std::string& answer) {
  RunOptions options;
  options.answers = {std::string(kConfirmTitle) + "=" + answer + "@300", std::string(kErrorCaption) + "=OK",
                     std::string(kNoticeCaption) + "=OK", "File Management Prompt Error!=Cancel"};
  return options;
}

Transcript RunKwuninst(const RunOptions& options) {
  const std::string transcriptPath = InWorkDir("transcript.txt");
  DeleteFileA(transcriptPath.c_str());
  const std::string installedCopy = std::string(kInstallDir) + "\\KWUNINST.EXE";
  const bool installed = FileExists(installedCopy);

  std::string command = Quoted(ProgramBuild() + "\\tools\\boxanswer\\boxanswer.exe") + " --run " +
                        Quoted(installed ? installedCopy : ProgramBuild() + "\\KWUNINST.EXE") + " --cwd " +
                        Quoted(installed ? kInstallDir : kWorkDir);
  for (const std::string& answer : options.answers) command += " --answer " + Quoted(answer);
  command += " --watch-status " + Quoted(kStatusCaption);
  if (!options.screenshots.empty()) command += " --screenshots " + Quoted(options.screenshots);
  constexpr unsigned kTimeoutSeconds = 120;
  command += " --transcript " + Quoted(transcriptPath) + " --timeout " + std::to_string(kTimeoutSeconds);

  Transcript transcript;
  transcript.answererExitCode = RunToEnd(command, kWorkDir, (kTimeoutSeconds + 30) * 1000);
  transcript.events = Events(transcript::ReadTranscriptFile(transcriptPath), transcriptPath);
  return transcript;
}

bool StartProductProgram(const std::string& name, const std::string& windowTitle) {
  return StartProgram(std::string(kInstallDir) + "\\" + name, kInstallDir, windowTitle);
}

bool StartFileHolder(const std::string& path, const std::string& options) {
  // The stand-in under its own name plays a program of the user's; its
  // window is up once the file is held.
  return StartProgram(Quoted(StandIn()) + " " + Quoted(path) + " " + options, kWorkDir,
                      path.substr(path.rfind('\\') + 1) + " - File Viewer");
}

void InstallLibrary(const std::string& path) {
  CopyFileA((ProgramBuild() + "\\tools\\standins\\library_standin.dll").c_str(), path.c_str(), FALSE);
}

std::string RestartWindows() {
  EndPrograms();
  // Measured under Wine 8: "wineboot -r", started by a program that runs
  // on in the prefix (this one), does both at once, in about 250 ms, and
  // ends with code 0; only the programs that hold a file to be deleted
  // must have ended.  It reads WININIT.INI whatever Windows version the
  // prefix reports (Windows NT itself does not): the tests of an NT
  // machine leave none there.
  char system[MAX_PATH] = "";
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string wineboot = std::string(system) + "\\wineboot.exe";
  if (GetFileAttributesA(wineboot.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return "no " + wineboot + ": not a Wine machine, which the test cannot restart";
  }
  const int code = RunToEnd(Quoted(wineboot) + " -r", system, 60000);
  if (code != 0) return "wineboot -r did not end well (exit code " + std::to_string(code) + ")";
  return "";
}

std::vector<Event> ProductTrace() {
  return Events(transcript::ReadTraceFile(InWorkDir("product-trace.txt"), true), "product-trace.txt");
}
std::vector<Event> UninstallerTrace() {
  return Events(transcript::ReadTraceFile(InWorkDir("uninst-trace.txt"), false), "uninst-trace.txt");
}

bool WaitForUninstallerExit(int timeoutMs) {
  for (int waited = 0; waited <= timeoutMs; waited += 100) {
    if (!EventsOf(UninstallerTrace(), "exit").empty()) return true;
    Sleep(100);
  }
  return false;
}

}  // namespace kw::e2e
