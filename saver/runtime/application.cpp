#include "saver/runtime/application.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <QApplication>
#include <QSocketNotifier>

#include "saver/runtime/fonts.h"
#include "saver/runtime/form.h"
#include "saver/runtime/process.h"
#include "saver/runtime/window_system.h"
#include "saver/runtime/x_display.h"

extern char** environ;

namespace veltrane::vb {

namespace {

Application* g_instance = nullptr;
bool g_running = false;
bool g_stoppedBySignal = false;
int g_signalPipe[2] = {-1, -1};

std::string& CommandLine() {
  static std::string text;
  return text;
}

QtMessageHandler g_defaultMessages = nullptr;

// Qt announces that it works without RandR, which the program asked for; that
// notice is dropped, everything else goes where Qt sends it.
void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg && message.startsWith(QLatin1String("There is no XRandR"))) return;
  if (g_defaultMessages) g_defaultMessages(type, context, message);
}

// Where no session bus runs, libdbus starts one the first time anybody asks for
// it, and Qt's accessibility bridge asks as soon as a widget changes: dbus-launch,
// a dbus-daemon and a window of dbus-launch's then stay until the X server ends. A
// screen saver starts no daemons and the shell needs no bus, so its own look-ups
// get an address that fails at once. A bus that runs already (named in the
// environment, or the user bus in XDG_RUNTIME_DIR) is used as before.
void KeepTheBusFromBeingLaunched() {
  const char* address = getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return;
  const char* runtime = getenv("XDG_RUNTIME_DIR");
  struct stat bus {};
  if (runtime && *runtime && stat((std::string(runtime) + "/bus").c_str(), &bus) == 0 && S_ISSOCK(bus.st_mode))
    return;
  StayOffSessionBus();
}

void OnTerminationSignal(int signo) {
  int saved = errno;
  unsigned char b = static_cast<unsigned char>(signo);
  if (g_signalPipe[1] >= 0) (void)!write(g_signalPipe[1], &b, 1);
  errno = saved;
}

}  // namespace

std::string JoinArguments(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

void SetCommandLine(int argc, const char* const* argv) { CommandLine() = JoinArguments(argc, argv); }
std::string Command() { return CommandLine(); }

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string AppPath() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  return FolderOf(std::string(buf, static_cast<size_t>(n)));
}

Application::Application(int& argc, char** argv) {
  for (char** e = environ; e && *e; ++e) startEnvironment_.emplace_back(*e);
  SetCommandLine(argc, argv);
  // Only the shell's own environment changes: the programs it starts (the
  // renderer, the URL opener) get the one it was started with.
  KeepTheBusFromBeingLaunched();
  // The shell looks up, re-parents and measures X windows, so Qt must run on X11,
  // and Qt's pixels must be the server's pixels.
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
  // The screen is the whole X screen, as the core protocol gives it: the cover
  // covers every monitor, and the display-mode switch the renderer makes does not
  // make Qt re-create the windows of a screen it thinks has gone.
  setenv("QT_XCB_NO_XRANDR", "1", 1);
  g_defaultMessages = qInstallMessageHandler(FilterQtMessages);
  if (!XDisplay()) {
    std::fprintf(stderr, "Veltrane.scr: cannot open the X display \"%s\"\n",
                 getenv("DISPLAY") ? getenv("DISPLAY") : "");
    std::exit(1);
  }
  app_ = std::make_unique<QApplication>(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setApplicationName(QString::fromUtf8(kAppTitle));
  RegisterFontSubstitutions();
  g_instance = this;

  // A close request from outside (the session ending, a service stopping the
  // saver, Ctrl-C) takes the same unload path as closing the window.
  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    signalNotifier_ = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(signalNotifier_.get(), &QSocketNotifier::activated, [this] { OnSignal(); });
    struct sigaction sa {};
    sa.sa_handler = OnTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
  }
}

Application::~Application() { g_instance = nullptr; }

Application* Application::Instance() { return g_instance; }

void Application::OnSignal() {
  unsigned char b = 0;
  int signo = 0;
  while (read(g_signalPipe[0], &b, 1) == 1) signo = b;
  if (!signo) return;
  // A host stops the saver by signalling the shell: the programs it started stop with it.
  g_stoppedBySignal = true;
  Form::UnloadAll(signo == SIGHUP ? kAppWindows : kAppTaskManager);
  // A form that refused to unload does not keep the process alive against the signal.
  End();
}

int Application::Run() {
  if (Form::LoadedForms().empty()) return 0;
  g_running = true;
  int code = app_->exec();
  g_running = false;
  return code;
}

void NotifyFormUnloaded() {
  if (g_running && Form::LoadedForms().empty()) QCoreApplication::exit(0);
}

void StayOffSessionBus() {
  // An address of no known transport: every connection attempt fails at once.
  setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void End() {
  EndStartedPrograms(g_stoppedBySignal);
  // Requests still queued (a pointer shown again, say) reach the server first.
  SyncXDisplay();
  FlushWindowSystem();
  std::fflush(nullptr);
  _exit(0);
}

}  // namespace veltrane::vb
