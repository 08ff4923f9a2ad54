#include "tests/support/sim_test.h"

#include <cstdio>
#include <memory>

#include "components/file_management.h"
#include "components/run_record.h"
#include "tests/support/footprint.h"

namespace kw::testing {

SimTest::SimTest() : m_override(std::make_unique<ScopedPlatformOverride>(m_machine)) {
  // Each test is a fresh run of the program: no waiting budget yet, no
  // lines in the record.
  CFileManagement::ResetWaitBudgetForTesting();
  CRunRecord::Start();
  m_machine.SetFailureHandler([](const std::string& what) { ADD_FAILURE() << what; });
}

SimTest::~SimTest() = default;

void SimTest::TearDown() {
  EXPECT_EQ(m_machine.Registry().OpenHandleCount(), 0u) << "registry keys left open";
  EXPECT_EQ(m_machine.Files().OpenHandleCount(), 0u) << "searches or files left open";
  if (HasFailure()) std::fprintf(stderr, "journal of the machine:\n%s", JournalText().c_str());
}

std::string SimTest::JournalText() const {
  std::string text;
  for (const sim::SimEvent& event : m_machine.Journal()) {
    text += std::to_string(event.atMs) + " ms  " + event.what + "\n";
  }
  return text;
}

void SimTest::CancelEveryPrompt() {
  m_machine.SetBoxAnswerer([](const sim::SimMessageBox& box) { return IsPrompt(box) ? kIdCancel : kIdOk; });
}

namespace {

using sim::SimProcess;

class SimUninstaller : public sim::SimProgram {
 public:
  explicit SimUninstaller(const UninstallerScript& script) : m_script(script) {}

  void OnStart(SimProcess& self) override {
    if (m_script.endsBeforeQuestion) return Crash(self, "crashes");
    Step(self);
  }
  void OnTurn(SimProcess& self) override { Step(self); }
  void OnFrozenTurn(SimProcess& self) override {
    if (m_script.crashesWhileFrozen) Crash(self, "crashes while frozen");
  }

 private:
  static void Crash(SimProcess& self, const char* note) {
    self.Note(note);
    self.Exit();
  }
  void Step(SimProcess& self) {
    const std::int64_t now = self.RunTimeMs();
    if (!m_question && !m_answered && now >= m_script.questionAtMs) {
      m_question = self.OpenWindow(kConfirmTitle);
      m_askedAtMs = now;
      return;
    }
    if (m_question && now - m_askedAtMs >= m_script.answerAfterMs) {
      self.CloseWindow(m_question);
      m_question = WindowHandle{};
      m_answered = true;
      if (!m_script.userAgrees) {
        self.Exit();
        return;
      }
      self.OpenWindow(kProgressTitle);
      return;
    }
    if (m_answered) {
      if (m_removed < m_script.logEntries) {
        self.Note("removes entry " + std::to_string(++m_removed));
      } else {
        self.Exit();
      }
    }
  }

  UninstallerScript m_script;
  WindowHandle m_question;
  std::int64_t m_askedAtMs = 0;
  bool m_answered = false;
  int m_removed = 0;
};

class SimProductProgram : public sim::SimProgram {
 public:
  explicit SimProductProgram(const ProductProgramScript& script) : m_script(script) {}

  void OnStart(SimProcess& self) override {
    self.OpenWindow(m_script.windowTitle);
    for (const std::string& file : m_script.heldFiles) self.HoldFile(file);
  }
  void OnTurn(SimProcess& self) override {
    if (m_script.releaseAtMs >= 0 && self.RunTimeMs() >= m_script.releaseAtMs) self.ReleaseFiles();
    if (m_closing && self.RunTimeMs() >= m_exitAtMs) self.Exit();
  }
  void OnCloseRequest(SimProcess& self, WindowHandle window) override {
    if (m_script.refusesToClose) {
      self.Note("refuses to close");
      return;
    }
    self.CloseWindow(window);
    m_closing = true;
    m_exitAtMs = self.RunTimeMs() + m_script.exitDelayMs;
    if (m_script.exitDelayMs == 0) self.Exit();
  }
  bool IsHung() const override { return m_script.hung; }

 private:
  ProductProgramScript m_script;
  bool m_closing = false;
  std::int64_t m_exitAtMs = 0;
};

}  // namespace

void InstallUninstaller(sim::SimMachine& machine, const UninstallerScript& script) {
  machine.RegisterProgram(kUninstallerPath,
                          [script] { return std::make_unique<SimUninstaller>(script); });
}

sim::SimProcess* RunProductProgram(sim::SimMachine& machine, const std::string& path,
                                   const ProductProgramScript& script) {
  machine.RegisterProgram(path, [script] { return std::make_unique<SimProductProgram>(script); });
  ProcessInfo info;
  if (!machine.StartProcess(path, "C:\\", ShowState::kNormal, &info)) return nullptr;
  return machine.ProcessById(info.processId);
}

void InstallProductFiles(sim::SimMachine& machine, const std::string& dir) {
  for (const footprint::File& file : footprint::kFiles) {
    machine.Files().AddFile(dir + file.name, std::string("product file ") + file.name);
  }
}

void RegisterInstallLocation(sim::SimMachine& machine) {
  // The first of the values that locate the product, and the task files'
  // extension, without which the registry clean-up fails.
  const footprint::Value& locating = footprint::kValues[0];
  machine.Registry().SetString(kHkeyLocalMachine, locating.key, locating.name,
                               footprint::Expand(locating.data));
  machine.Registry().SetString(kHkeyClassesRoot, ".KWT", "", "kwt_auto_file");
}

}  // namespace kw::testing
