// The launcher's plain decisions, free of any window system or bus: its command
// line, where the saver shell lies, and when to start the saver.
#pragma once

#include <chrono>
#include <string>
#include <variant>
#include <vector>

namespace veltrane::idle {

struct Options {
  std::chrono::milliseconds timeout = std::chrono::seconds(300);
  bool help = false;
};

// The longest time-out every idle clock can hold (ext-idle-notify takes 32-bit
// milliseconds).
inline constexpr long long kMaxTimeoutSeconds = 4294967;

// The options, or one line saying what is wrong with them (without the
// program's name).
std::variant<Options, std::string> ParseOptions(const std::vector<std::string>& args);

// The help text.
std::string Usage();

// Where Veltrane.scr is: beside the launcher when it is there (the build tree,
// or a copy of both in one folder), else where the install put it relative to
// the launcher's folder (`installedFolder`, e.g. "../libexec/veltrane" from
// bin/), so that a prefix or DESTDIR chosen at install time holds. `exists`
// says whether a path names an executable file.
std::string SaverPath(const std::string& launcherFolder, const std::string& installedFolder,
                      bool (*exists)(const std::string&));

// What the session's idle clock and the saver tell the launcher.
enum class Happening {
  Idle,           // the time-out has passed with no input
  IdleInhibited,  // the same, but an inhibitor is held: wait for the next idle period
  Active,         // input after an idle period
  SaverEnded,     // the saver it started has ended
  SaverFailed,    // the saver could not be started
};

enum class Action {
  Nothing,
  StartSaver,
  CountAgain,  // restart the idle count from now: the saver's end counts as activity
};

// One saver at a time: while the saver it started runs, no idle period starts
// another; its end starts a fresh idle count.
class IdlePolicy {
 public:
  Action On(Happening h);
  bool saverRunning() const { return saverRunning_; }

 private:
  bool saverRunning_ = false;
};

const char* NameOf(Happening h);

}  // namespace veltrane::idle
