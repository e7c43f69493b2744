#include "idle/idle_policy.h"

#include <charconv>
#include <filesystem>

namespace veltrane::idle {

namespace {

// A whole number of seconds, 1 to kMaxTimeoutSeconds; nothing else (no sign, no
// unit, no fraction), so that a typo is an error and not a surprise.
bool ParseSeconds(const std::string& text, long long& seconds) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  return error == std::errc() && end == text.data() + text.size() && seconds >= 1 && seconds <= kMaxTimeoutSeconds;
}

}  // namespace

std::variant<Options, std::string> ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string value;
    if (arg == "--timeout" || arg == "-t") {
      if (i + 1 == args.size()) return "option " + arg + " needs a number of seconds";
      value = args[++i];
    } else if (arg.rfind("--timeout=", 0) == 0) {
      value = arg.substr(10);
    } else if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    } else {
      return "unknown option \"" + arg + "\" (see --help)";
    }
    long long seconds = 0;
    if (!ParseSeconds(value, seconds)) {
      return "the time-out must be a whole number of seconds from 1 to " + std::to_string(kMaxTimeoutSeconds) +
             ", not \"" + value + "\"";
    }
    options.timeout = std::chrono::seconds(seconds);
  }
  return options;
}

std::string Usage() {
  return "Usage: veltrane-idle [--timeout SECONDS]\n"
         "Starts the Veltrane screen saver (Veltrane.scr /s) each time the session has\n"
         "been idle for SECONDS (default 300), using the session's own idle clock.\n";
}

std::string SaverPath(const std::string& launcherFolder, const std::string& installedFolder,
                      bool (*exists)(const std::string&)) {
  const std::string beside = launcherFolder + "/Veltrane.scr";
  if (exists(beside)) return beside;
  return std::filesystem::path(launcherFolder + "/" + installedFolder + "/Veltrane.scr").lexically_normal().string();
}

Action IdlePolicy::On(Happening h) {
  switch (h) {
    case Happening::Idle:
      if (saverRunning_) return Action::Nothing;
      saverRunning_ = true;
      return Action::StartSaver;
    case Happening::IdleInhibited:
    case Happening::Active:
      return Action::Nothing;
    case Happening::SaverEnded:
    case Happening::SaverFailed:
      if (!saverRunning_) return Action::Nothing;
      saverRunning_ = false;
      return Action::CountAgain;
  }
  return Action::Nothing;
}

const char* NameOf(Happening h) {
  switch (h) {
    case Happening::Idle: return "idle";
    case Happening::IdleInhibited: return "idle, inhibited";
    case Happening::Active: return "active";
    case Happening::SaverEnded: return "saver ended";
    case Happening::SaverFailed: return "saver failed";
  }
  return "?";
}

}  // namespace veltrane::idle
