// The shell's process: the Qt application under the forms, the command-line
// argument string, the application folder, event pumping and the end statement.
//
//   int main(int argc, char** argv) {
//     veltrane::vb::Application app(argc, argv);
//     Lumora_B::Main();
//     return app.Run();   // lives while a form is loaded
//   }
#pragma once

#include <memory>
#include <string>
#include <vector>

class QApplication;
class QSocketNotifier;

namespace veltrane::vb {

inline constexpr const char* kAppTitle = "Veltrane(ScreenSaver)";

class Application {
 public:
  // Forces Qt's X11 platform, registers the font substitutions and routes
  // SIGTERM, SIGHUP and SIGINT to the forms' query-unload path. Ends the process
  // with a message on stderr when there is no X display to run on.
  Application(int& argc, char** argv);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs the event loop while any form is loaded; returns at once when none is.
  int Run();

  static Application* Instance();
  // The environment the program was started with, before the runtime set its
  // own Qt variables; programs started by path get this one.
  const std::vector<std::string>& StartEnvironment() const { return startEnvironment_; }

 private:
  void OnSignal();

  std::vector<std::string> startEnvironment_;
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<QSocketNotifier> signalNotifier_;
};

// The command-line argument string: the program's arguments joined by single blanks.
std::string Command();
// Sets the argument string from argv (done by Application; tests use it directly).
void SetCommandLine(int argc, const char* const* argv);
std::string JoinArguments(int argc, const char* const* argv);

// The folder of the running program, without a trailing separator ("/" for the root).
std::string AppPath();
std::string FolderOf(const std::string& path);

// Keeps this process off the D-Bus session bus from here on (Qt's accessibility
// bridge connects to it synchronously at the first window shown). Programs started
// by path still get the bus of the environment the shell was started with.
void StayOffSessionBus();

// Handles every pending event of the process, then returns.
void DoEvents();

// The end statement: the process stops at once, with exit code 0. No query-unload
// or unload handler runs and nothing after the call executes.
[[noreturn]] void End();

// Called by the forms when one is unloaded: once no form is left, the event loop
// of Application::Run ends and with it the process.
void NotifyFormUnloaded();

}  // namespace veltrane::vb
