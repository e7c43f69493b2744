#include "platform/x11/display_mode.h"

#include <unistd.h>

#include <algorithm>
#include <optional>

#include <X11/Xatom.h>
#include <X11/extensions/XRes.h>

#include "platform/x11/display_record.h"
#include "platform/x11/x_error_trap.h"

namespace veltrane::platform {
namespace {

// Marks a holder window, so a reused window id of some other program is not
// taken for a live holder.
constexpr const char* kHolderMarkAtom = "_VELTRANE_DISPLAY_HOLDER";

// Reading and rewriting the record must not interleave with another renderer's.
class ServerGrab {
public:
    explicit ServerGrab(::Display* display) : display_(display) { XGrabServer(display_); }
    ~ServerGrab() {
        XUngrabServer(display_);
        XFlush(display_);
    }
    ServerGrab(const ServerGrab&) = delete;
    ServerGrab& operator=(const ServerGrab&) = delete;

private:
    ::Display* display_;
};

bool HaveRandr12(::Display* display) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    return XRRQueryExtension(display, &eventBase, &errorBase) && XRRQueryVersion(display, &major, &minor) &&
           (major > 1 || (major == 1 && minor >= 2));
}

::Atom Intern(::Display* display, const char* name) { return XInternAtom(display, name, False); }

std::vector<long> ReadLongs(::Display* display, ::Window window, const char* name, ::Atom type) {
    std::vector<long> values;
    ::Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, Intern(display, name), 0, 1024, False, type, &actualType, &format,
                           &count, &after, &data) == Success &&
        data != nullptr && format == 32 && actualType == type) {
        const auto* longs = reinterpret_cast<const long*>(data);
        values.assign(longs, longs + count);
    }
    if (data != nullptr) XFree(data);
    return values;
}

void WriteLongs(::Display* display, ::Window window, const char* name, ::Atom type, const std::vector<long>& values) {
    if (values.empty()) {
        XDeleteProperty(display, window, Intern(display, name));
        return;
    }
    XChangeProperty(display, window, Intern(display, name), type, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
}

std::optional<Record> ReadRecord(::Display* display) {
    return DecodeRecord(ReadLongs(display, DefaultRootWindow(display), kSavedDisplayAtom, XA_CARDINAL));
}

void WriteRecord(::Display* display, const Record& r) {
    WriteLongs(display, DefaultRootWindow(display), kSavedDisplayAtom, XA_CARDINAL, EncodeRecord(r));
}

void DeleteRecord(::Display* display) {
    WriteLongs(display, DefaultRootWindow(display), kSavedDisplayAtom, XA_CARDINAL, {});
    WriteLongs(display, DefaultRootWindow(display), kDisplayHoldersAtom, XA_WINDOW, {});
}

// True unless the X-Resource extension names another process than `pid` as the
// client that made `window`. Without the extension, or for a client whose
// process the server cannot tell (a remote one), the shape check stands alone.
bool MadeByProcess(::Display* display, ::Window window, long pid) {
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XResQueryExtension(display, &eventBase, &errorBase) || !XResQueryVersion(display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 2)) {
        return true;
    }
    XResClientIdSpec client{window, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(display, 1, &client, &count, &ids) != Success) return true;
    bool known = false, same = false;
    for (long i = 0; i < count; ++i) {
        if (XResGetClientIdType(&ids[i]) != XRES_CLIENT_ID_PID) continue;
        const pid_t client = XResGetClientPid(&ids[i]);
        if (client == -1) continue;
        known = true;
        same = same || client == pid;
    }
    XResClientIdsDestroy(count, ids);
    return !known || same;
}

// A live holder is a marked window of the shape MakeHolder gives it, made by the
// process its mark names. Anything else listed (the root, some other program's
// window marked by hand, a window the server gave a dead holder's id to) holds nothing.
bool HolderAlive(::Display* display, ::Window holder) {
    const ::Window root = DefaultRootWindow(display);
    if (holder == None || holder == root) return false;
    XErrorTrap trap(display);  // BadWindow: its connection is gone, and the window with it
    XWindowAttributes a{};
    if (!XGetWindowAttributes(display, holder, &a) || a.c_class != InputOnly || a.x != -1 || a.y != -1 ||
        a.width != 1 || a.height != 1 || !a.override_redirect) {
        return false;
    }
    ::Window treeRoot = None, parent = None, *children = nullptr;
    unsigned int childCount = 0;
    const bool tree = XQueryTree(display, holder, &treeRoot, &parent, &children, &childCount) != 0;
    if (children != nullptr) XFree(children);
    if (!tree || parent != root || childCount != 0) return false;
    const std::vector<long> mark = ReadLongs(display, holder, kHolderMarkAtom, XA_CARDINAL);
    return mark.size() == 1 && !trap.Failed() && MadeByProcess(display, holder, mark[0]);
}

// The live holders, in order, without `leaving`.
std::vector<long> LiveHolders(::Display* display, ::Window leaving) {
    std::vector<long> live;
    for (long h : ReadLongs(display, DefaultRootWindow(display), kDisplayHoldersAtom, XA_WINDOW)) {
        const auto holder = static_cast<::Window>(h);
        if (holder != leaving && HolderAlive(display, holder)) live.push_back(h);
    }
    return live;
}

// A small window that lives exactly as long as this connection holds the mode.
::Window MakeHolder(::Display* display) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    const ::Window w = XCreateWindow(display, DefaultRootWindow(display), -1, -1, 1, 1, 0, 0, InputOnly,
                                     CopyFromParent, CWOverrideRedirect, &attributes);
    if (w == 0) return 0;
    WriteLongs(display, w, kHolderMarkAtom, XA_CARDINAL, {static_cast<long>(getpid())});
    return w;
}

bool SwapsAxes(Rotation rotation) { return (rotation & (RR_Rotate_90 | RR_Rotate_270)) != 0; }

const XRRModeInfo* FindModeInfo(const XRRScreenResources* resources, RRMode mode) {
    for (int i = 0; i < resources->nmode; ++i) {
        if (resources->modes[i].id == mode) return &resources->modes[i];
    }
    return nullptr;
}

// Size of a mode on screen, with the CRTC's rotation applied.
void ModeSize(const XRRModeInfo& info, Rotation rotation, int& width, int& height) {
    width = static_cast<int>(SwapsAxes(rotation) ? info.height : info.width);
    height = static_cast<int>(SwapsAxes(rotation) ? info.width : info.height);
}

// Sets one CRTC and the screen size in an order that keeps every CRTC inside
// the screen at each step: grow first, set the CRTC, shrink last. The caller
// holds the server.
bool Apply(::Display* display, const CrtcConfig& config, const ScreenSize& target) {
    const ::Window root = DefaultRootWindow(display);
    XErrorTrap trap(display);
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, root, &attributes);
    const int mmWidth = DisplayWidthMM(display, DefaultScreen(display));
    const int mmHeight = DisplayHeightMM(display, DefaultScreen(display));
    const int growWidth = std::max(attributes.width, target.width);
    const int growHeight = std::max(attributes.height, target.height);
    if (growWidth != attributes.width || growHeight != attributes.height) {
        XRRSetScreenSize(display, root, growWidth, growHeight, std::max(mmWidth, target.mmWidth),
                         std::max(mmHeight, target.mmHeight));
    }
    bool ok = false;
    if (XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root)) {
        std::vector<RROutput> outputs = config.outputs;
        ok = XRRSetCrtcConfig(display, resources, config.crtc, CurrentTime, config.x, config.y, config.mode,
                              config.rotation, outputs.data(), static_cast<int>(outputs.size())) == RRSetConfigSuccess;
        XRRFreeScreenResources(resources);
    }
    if (ok && (growWidth != target.width || growHeight != target.height || mmWidth != target.mmWidth ||
               mmHeight != target.mmHeight)) {
        XRRSetScreenSize(display, root, target.width, target.height, target.mmWidth, target.mmHeight);
    }
    return ok && !trap.Failed();
}

// What a record is checked against: the screen-size range and every CRTC,
// output and mode the server has now. The caller holds the server.
std::optional<ServerState> ReadServerState(::Display* display) {
    const ::Window root = DefaultRootWindow(display);
    ServerState state;
    if (!XRRGetScreenSizeRange(display, root, &state.minWidth, &state.minHeight, &state.maxWidth, &state.maxHeight)) {
        return std::nullopt;
    }
    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) return std::nullopt;
    for (int i = 0; i < resources->nmode; ++i) {
        const XRRModeInfo& m = resources->modes[i];
        state.modes.push_back({m.id, static_cast<int>(m.width), static_cast<int>(m.height)});
    }
    for (int i = 0; i < resources->ncrtc; ++i) {
        XRRCrtcInfo* info = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
        if (info == nullptr) continue;
        ServerState::Crtc crtc;
        crtc.config = CrtcConfig{resources->crtcs[i], info->mode, info->x, info->y, info->rotation,
                                 std::vector<RROutput>(info->outputs, info->outputs + info->noutput)};
        crtc.rotations = info->rotations;
        state.crtcs.push_back(std::move(crtc));
        XRRFreeCrtcInfo(info);
    }
    for (int i = 0; i < resources->noutput; ++i) {
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, resources->outputs[i]);
        if (info == nullptr) continue;
        state.outputs.push_back({resources->outputs[i], std::vector<RRCrtc>(info->crtcs, info->crtcs + info->ncrtc),
                                 std::vector<RRMode>(info->modes, info->modes + info->nmode)});
        XRRFreeOutputInfo(info);
    }
    XRRFreeScreenResources(resources);
    return state;
}

// Under the caller's grab: the record, when it fits the server and the display
// is still as the switch left it. Anything else is dropped with its holders: a
// forged or damaged record must not be set, and a stale one would undo what the
// user chose since.
std::optional<Record> TrustedRecordLocked(::Display* display) {
    std::optional<Record> record = ReadRecord(display);
    if (record) {
        const std::optional<ServerState> server = ReadServerState(display);
        if (!server || !RecordFits(*record, *server) || !StillSwitched(*record, *server)) record.reset();
    }
    if (!record) DeleteRecord(display);
    return record;
}

// Under the caller's grab: gives back a record with no live holder behind it.
bool RestoreAbandonedLocked(::Display* display) {
    const std::optional<Record> record = TrustedRecordLocked(display);
    if (!record) return false;
    const std::vector<long> live = LiveHolders(display, 0);
    if (!live.empty()) {
        WriteLongs(display, DefaultRootWindow(display), kDisplayHoldersAtom, XA_WINDOW, live);
        return false;
    }
    Apply(display, record->saved, record->screen);
    DeleteRecord(display);
    return true;
}

}  // namespace

bool RestoreAbandonedDisplayMode(::Display* display) {
    if (display == nullptr || !HaveRandr12(display)) return false;
    XErrorTrap trap(display);
    bool restored = false;
    {
        ServerGrab grab(display);
        restored = RestoreAbandonedLocked(display);
    }
    XSync(display, False);
    return restored;
}

bool DisplayModeSwitch::Enter(::Display* display, int width, int height) {
    if (display == nullptr) return false;
    const int screen = DefaultScreen(display);
    const ::Window root = RootWindow(display, screen);
    if (!HaveRandr12(display)) {
        // Without RandR 1.2 nothing can change; the mode counts as in force if the screen has it.
        return DisplayWidth(display, screen) == width && DisplayHeight(display, screen) == height;
    }

    XErrorTrap trap(display);  // a request failing here means "no switch", not the end of the program
    ServerGrab grab(display);
    // A renderer that was killed while it held the mode left its record behind:
    // what it found in force is what the user had, so that comes back first.
    RestoreAbandonedLocked(display);
    const std::optional<Record> held = TrustedRecordLocked(display);  // live holders stand behind it

    XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
    if (resources == nullptr) return false;

    // The main output's CRTC.
    RRCrtc crtc = 0;
    XRRCrtcInfo* crtcInfo = nullptr;
    auto litCrtcOf = [&](RROutput output) -> RRCrtc {
        if (output == None) return 0;
        XRROutputInfo* info = XRRGetOutputInfo(display, resources, output);
        RRCrtc result = info != nullptr && info->connection != RR_Disconnected ? info->crtc : 0;
        if (info != nullptr) XRRFreeOutputInfo(info);
        return result;
    };
    crtc = litCrtcOf(XRRGetOutputPrimary(display, root));
    for (int i = 0; crtc == 0 && i < resources->noutput; ++i) crtc = litCrtcOf(resources->outputs[i]);
    if (crtc != 0) crtcInfo = XRRGetCrtcInfo(display, resources, crtc);
    if (crtcInfo == nullptr || crtcInfo->mode == None || crtcInfo->noutput == 0) {
        if (crtcInfo != nullptr) XRRFreeCrtcInfo(crtcInfo);
        XRRFreeScreenResources(resources);
        return false;
    }

    // Joins the holders of the recorded configuration.
    auto join = [&] {
        display_ = display;
        holder_ = MakeHolder(display);
        std::vector<long> holders = LiveHolders(display, 0);
        if (holder_ != 0) holders.push_back(static_cast<long>(holder_));
        WriteLongs(display, root, kDisplayHoldersAtom, XA_WINDOW, holders);
    };

    bool ok = false;
    const XRRModeInfo* current = FindModeInfo(resources, crtcInfo->mode);
    int currentWidth = 0, currentHeight = 0;
    if (current != nullptr) ModeSize(*current, crtcInfo->rotation, currentWidth, currentHeight);
    if (currentWidth == width && currentHeight == height) {
        // Already in force. Switched by another renderer: hold it with them, so the
        // last of us gives it back. Else it is the user's own mode: nothing to give back.
        ok = true;
        if (held) join();
    } else {
        // A mode of that size which every output on the CRTC supports, in the
        // first output's order of preference.
        RRMode wanted = 0;
        XRROutputInfo* first = XRRGetOutputInfo(display, resources, crtcInfo->outputs[0]);
        for (int m = 0; first != nullptr && wanted == 0 && m < first->nmode; ++m) {
            const XRRModeInfo* info = FindModeInfo(resources, first->modes[m]);
            if (info == nullptr || (info->modeFlags & RR_Interlace) != 0) continue;
            int w = 0, h = 0;
            ModeSize(*info, crtcInfo->rotation, w, h);
            if (w != width || h != height) continue;
            bool everyOutput = true;
            for (int o = 1; o < crtcInfo->noutput && everyOutput; ++o) {
                XRROutputInfo* other = XRRGetOutputInfo(display, resources, crtcInfo->outputs[o]);
                everyOutput = other != nullptr &&
                              std::find(other->modes, other->modes + other->nmode, info->id) != other->modes + other->nmode;
                if (other != nullptr) XRRFreeOutputInfo(other);
            }
            if (everyOutput) wanted = info->id;
        }
        if (first != nullptr) XRRFreeOutputInfo(first);

        if (wanted != 0) {
            Record found;
            found.saved.crtc = crtc;
            found.saved.mode = crtcInfo->mode;
            found.saved.x = crtcInfo->x;
            found.saved.y = crtcInfo->y;
            found.saved.rotation = crtcInfo->rotation;
            found.saved.outputs.assign(crtcInfo->outputs, crtcInfo->outputs + crtcInfo->noutput);
            // Xlib's idea of the screen size lags behind RandR; ask the root.
            found.screen.width = DisplayWidth(display, screen);
            found.screen.height = DisplayHeight(display, screen);
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display, root, &attributes)) {
                found.screen.width = attributes.width;
                found.screen.height = attributes.height;
            }
            found.screen.mmWidth = DisplayWidthMM(display, screen);
            found.screen.mmHeight = DisplayHeightMM(display, screen);

            // The new screen is the bounding box of every lit CRTC with ours resized.
            ScreenSize target{0, 0, 0, 0};
            for (int i = 0; i < resources->ncrtc; ++i) {
                int right = 0, bottom = 0;
                if (resources->crtcs[i] == crtc) {
                    right = crtcInfo->x + width;
                    bottom = crtcInfo->y + height;
                } else {
                    XRRCrtcInfo* other = XRRGetCrtcInfo(display, resources, resources->crtcs[i]);
                    if (other != nullptr && other->mode != None) {
                        right = other->x + static_cast<int>(other->width);
                        bottom = other->y + static_cast<int>(other->height);
                    }
                    if (other != nullptr) XRRFreeCrtcInfo(other);
                }
                target.width = std::max(target.width, right);
                target.height = std::max(target.height, bottom);
            }
            // Keep the screen's pixel density.
            target.mmWidth =
                found.screen.width > 0 ? found.screen.mmWidth * target.width / found.screen.width : 0;
            target.mmHeight =
                found.screen.height > 0 ? found.screen.mmHeight * target.height / found.screen.height : 0;

            // The record goes up before the switch, so a renderer killed in between
            // still leaves behind what to give back. It names the switched state too:
            // only while the display is in it is the record given back.
            CrtcConfig config = found.saved;
            config.mode = wanted;
            Record record = held ? *held : found;
            record.switched = config;
            WriteRecord(display, record);
            join();
            ok = Apply(display, config, target);
            if (!ok) {
                Apply(display, found.saved, found.screen);
                if (held) WriteRecord(display, *held);
                else DeleteRecord(display);
                if (holder_ != 0) XDestroyWindow(display, holder_);
                holder_ = 0;
            }
        }
    }
    XRRFreeCrtcInfo(crtcInfo);
    XRRFreeScreenResources(resources);
    return ok;
}

void DisplayModeSwitch::Restore() {
    if (holder_ == 0 || display_ == nullptr) return;
    ::Display* display = display_;
    {
        XErrorTrap trap(display);
        ServerGrab grab(display);
        const std::vector<long> others = LiveHolders(display, holder_);
        XDestroyWindow(display, holder_);
        holder_ = 0;
        if (others.empty()) {
            if (const std::optional<Record> record = TrustedRecordLocked(display)) {
                Apply(display, record->saved, record->screen);
            }
            DeleteRecord(display);
        } else {
            WriteLongs(display, DefaultRootWindow(display), kDisplayHoldersAtom, XA_WINDOW, others);
        }
    }
    XSync(display, False);
}

}  // namespace veltrane::platform
