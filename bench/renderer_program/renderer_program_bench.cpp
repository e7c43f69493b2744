// Figures for the renderer program: time from process start to its window being
// mapped and to its first frame on screen (median of N runs), frames per second
// of the whole loop on Mesa's llvmpipe, CPU used while minimised, peak resident
// memory. Runs on a private Xvfb 1024x768x16 it starts itself, or on $DISPLAY
// with --display.
//
//   renderer_program_bench [--runs N] [--frames N] [--display]
// The test support first: it brings gtest in before Xlib and its macros.
#include "support/xvfb_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "platform/stop_signals.h"
#include "platform/x11/window_lookup.h"
#include "platform/x11/x11_window_system.h"
#include "renderer/renderer_main.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kRenderer = std::string(VELTRANE_BIN_DIR) + "/Veltrane.dll";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

pid_t Spawn(const std::vector<std::string>& argv, int keepFd = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        if (keepFd != 1) dup2(devnull, 1);
        dup2(devnull, 2);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return pid;
}

struct StartFigures {
    double mapped = -1, firstFrame = -1;
    long maxRssKb = 0;
};

// One start: spawn, wait for the window's MapNotify, then for light at its centre.
StartFigures TimeOneStart(Display* d, std::chrono::milliseconds runFor) {
    StartFigures f;
    const Window root = DefaultRootWindow(d);
    XSelectInput(d, root, SubstructureNotifyMask);
    XSync(d, True);
    const auto t0 = Clock::now();
    const pid_t pid = Spawn({kRenderer});
    Window window = 0;
    while (window == 0 && Clock::now() - t0 < 5s) {
        while (XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == MapNotify && veltrane::testing::TitleIs(d, e.xmap.window, "Lumora_VC")) {
                window = e.xmap.window;
                f.mapped = Ms(Clock::now() - t0);
            }
        }
        if (window == 0) {
            pollfd p{ConnectionNumber(d), POLLIN, 0};
            poll(&p, 1, 5);
        }
    }
    if (window == 0) {
        // Mapped inside a manager's frame: fall back to looking it up.
        window = veltrane::platform::FindTopLevelWindow(d, "Lumora_VC");
        if (window != 0) f.mapped = Ms(Clock::now() - t0);
    }
    if (window != 0) {
        XWindowAttributes a{};
        XGetWindowAttributes(d, window, &a);
        while (Clock::now() - t0 < 5s) {
            if (veltrane::testing::CentreLit(d, window, a.width, a.height)) {
                f.firstFrame = Ms(Clock::now() - t0);
                break;
            }
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(runFor);
        veltrane::testing::SendWmClose(d, window);
    }
    XSelectInput(d, root, NoEventMask);
    int status = 0;
    rusage usage{};
    for (int i = 0; i < 500; ++i) {
        if (wait4(pid, &status, WNOHANG, &usage) == pid) {
            f.maxRssKb = usage.ru_maxrss;
            return f;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    wait4(pid, &status, 0, &usage);
    return f;
}

// The whole loop in this process, the real window system and scene, counting frames.
class CountingScene final : public veltrane::RendererScene {
public:
    CountingScene(int warmup, int frames) : warmup_(warmup), frames_(frames) {}
    bool PrepareScene(veltrane::RendererWindow& w, veltrane::KeyStates& k) override {
        return veltrane::RealRendererScene().PrepareScene(w, k);
    }
    void SetProjection(std::int32_t w, std::int32_t h) override { veltrane::RealRendererScene().SetProjection(w, h); }
    void StepAndDraw(std::int64_t now) override {
        veltrane::RealRendererScene().StepAndDraw(now);
        ++count_;
        if (count_ == warmup_) start_ = Clock::now();
        if (count_ == warmup_ + frames_) {
            seconds_ = std::chrono::duration<double>(Clock::now() - start_).count();
            veltrane::RequestStop(*RecordedWindow());
        }
    }
    veltrane::RendererWindow* RecordedWindow() override { return veltrane::RealRendererScene().RecordedWindow(); }
    veltrane::KeyStates* RecordedKeys() override { return veltrane::RealRendererScene().RecordedKeys(); }
    double FramesPerSecond() const { return seconds_ > 0 ? frames_ / seconds_ : 0; }

private:
    int warmup_, frames_, count_ = 0;
    Clock::time_point start_;
    double seconds_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    int runs = 15, frames = 600;
    bool useDisplay = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--frames") && i + 1 < argc) frames = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--display")) useDisplay = true;
    }
    std::unique_ptr<veltrane::testing::XvfbSession> xvfb;
    if (!useDisplay) {
        xvfb = std::make_unique<veltrane::testing::XvfbSession>(veltrane::testing::XvfbOptions{1024, 768, 16});
        if (!xvfb->ok()) {
            std::fprintf(stderr, "could not start Xvfb\n");
            return 1;
        }
        setenv("DISPLAY", xvfb->name().c_str(), 1);
    }
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    std::printf("display %s, %dx%dx%d\n", DisplayString(d), DisplayWidth(d, 0), DisplayHeight(d, 0),
                DefaultDepth(d, 0));

    std::vector<double> mapped, firstFrame;
    long maxRss = 0;
    TimeOneStart(d, 0ms);  // warms the file cache; not counted
    for (int i = 0; i < runs; ++i) {
        const StartFigures f = TimeOneStart(d, 0ms);
        if (f.mapped >= 0) mapped.push_back(f.mapped);
        if (f.firstFrame >= 0) firstFrame.push_back(f.firstFrame);
    }
    std::printf("start to window mapped:      median %.1f ms, min %.1f, max %.1f (%zu runs)\n", Median(mapped),
                mapped.empty() ? 0 : *std::min_element(mapped.begin(), mapped.end()),
                mapped.empty() ? 0 : *std::max_element(mapped.begin(), mapped.end()), mapped.size());
    std::printf("start to first frame seen:   median %.1f ms (%zu runs)\n", Median(firstFrame), firstFrame.size());
    maxRss = TimeOneStart(d, 3000ms).maxRssKb;
    std::printf("peak resident memory after 3 s of frames: %ld KiB\n", maxRss);

    // Frames per second of the whole loop, in this process.
    {
        const int stopFd = veltrane::platform::InstallStopSignals();
        veltrane::platform::X11WindowSystem ws(veltrane::RendererPixelFormat(veltrane::kRendererColorBits), stopFd);
        CountingScene scene(100, frames);
        veltrane::UseRendererServices(&ws, &scene);
        veltrane::RunRenderer(0);
        std::printf("whole loop (batched executor, llvmpipe): %.1f frames/s over %d frames\n",
                    scene.FramesPerSecond(), frames);
    }

    // Minimised, the loop sleeps: CPU over two seconds, under openbox.
    if (!useDisplay) {
        const pid_t wm = Spawn({"openbox", "--sm-disable"});
        std::this_thread::sleep_for(700ms);
        const pid_t pid = Spawn({kRenderer});
        Window w = 0;
        for (int i = 0; i < 500 && w == 0; ++i) {
            w = veltrane::platform::FindTopLevelWindow(d, "Lumora_VC");
            std::this_thread::sleep_for(10ms);
        }
        std::this_thread::sleep_for(500ms);
        if (w != 0) {
            XIconifyWindow(d, w, DefaultScreen(d));
            XFlush(d);
            std::this_thread::sleep_for(500ms);
            const double before = veltrane::testing::CpuSecondsOf(pid);
            std::this_thread::sleep_for(2s);
            const double after = veltrane::testing::CpuSecondsOf(pid);
            std::printf("minimised: %.3f s of CPU over 2 s\n", after - before);
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        kill(wm, SIGTERM);
        waitpid(wm, nullptr, 0);
    }

    XCloseDisplay(d);
    return 0;
}
