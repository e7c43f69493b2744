#include "renderer/host_options.h"

#include <initializer_list>

#include "platform/quoted_text.h"

namespace veltrane {
namespace {

// "-name" and "--name" are the same option.
bool Is(std::string_view arg, std::initializer_list<std::string_view> names) {
    if (arg.size() > 2 && arg.substr(0, 2) == "--") arg.remove_prefix(1);
    for (std::string_view name : names) {
        if (arg == name) return true;
    }
    return false;
}

std::string Quoted(std::string_view text) { return platform::QuotedText(text); }

}  // namespace

std::optional<std::uint32_t> ParseWindowId(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull) return std::nullopt;  // X resource ids are 32 bits
    }
    if (value == 0) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

HostOptionsResult ParseHostOptions(const std::vector<std::string>& args, const char* xscreensaverWindow) {
    HostOptionsResult result;
    HostOptions options;
    bool root = false;
    std::optional<std::uint32_t> windowId;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = Is(arg, {"-window-id", "-display", "-visual"});
        if (takesValue && i + 1 >= args.size()) {
            result.error = arg + " needs a value";
            return result;
        }
        if (Is(arg, {"-window-id"})) {
            const std::string& value = args[++i];
            windowId = ParseWindowId(value);
            if (!windowId) {
                result.error = "not a window id: " + Quoted(value);
                return result;
            }
        } else if (Is(arg, {"-root"})) {
            root = true;
        } else if (Is(arg, {"-window"})) {
            root = false;
        } else if (Is(arg, {"-display"})) {
            options.displayName = args[++i];
        } else if (Is(arg, {"-visual"})) {
            ++i;  // the GL visual is chosen from the GL configurations
        } else if (Is(arg, {"-install", "-fps", "-no-fps"})) {
            // accepted for compatibility with the hosts' command lines; no effect
        } else if (Is(arg, {"-help", "-h"})) {
            options.help = true;
        } else {
            result.error = "unknown option " + Quoted(arg) + " (try -help)";
            return result;
        }
    }

    if (windowId) {
        options.target = DrawTarget::HostWindow;
        options.windowId = *windowId;
    } else if (root) {
        if (xscreensaverWindow != nullptr && *xscreensaverWindow != '\0') {
            windowId = ParseWindowId(xscreensaverWindow);
            if (!windowId) {
                result.error = "XSCREENSAVER_WINDOW is not a window id: " + Quoted(xscreensaverWindow);
                return result;
            }
            options.target = DrawTarget::HostWindow;
            options.windowId = *windowId;
        } else {
            options.target = DrawTarget::RootWindow;
        }
    }
    result.options = options;
    return result;
}

const char* HostUsage() {
    return "Usage: Veltrane.dll [-root | -window-id ID | -window] [-display NAME]\n"
           "  (no option)      full screen in its own window, switching to 1024x768 where it can\n"
           "  -window-id ID    draw in the window ID (decimal, or hex with 0x)\n"
           "  -root            draw in $XSCREENSAVER_WINDOW when set, else in the root window\n"
           "  -window          the program's own full-screen window (the default)\n"
           "  -display NAME    the X display to use\n"
           "  -install, -visual V, -fps, -no-fps   accepted, without effect\n"
           "Options may start with one dash or two. In a window of another program it ends\n"
           "on SIGTERM, SIGINT, SIGHUP or SIGQUIT, or when that window is destroyed.\n";
}

}  // namespace veltrane
