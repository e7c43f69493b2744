#include "platform/display_mode.h"

#include <algorithm>

#include "platform/x_error_trap.h"

namespace veltrane::platform {
namespace {

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

}  // namespace

bool DisplayModeSwitch::Enter(::Display* display, int width, int height) {
    if (display == nullptr) return false;
    const int screen = DefaultScreen(display);
    const ::Window root = RootWindow(display, screen);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        major < 1 || (major == 1 && minor < 2)) {
        // Without RandR 1.2 nothing can change; the mode counts as in force if the screen has it.
        return DisplayWidth(display, screen) == width && DisplayHeight(display, screen) == height;
    }

    XErrorTrap trap(display);  // a request failing here means "no switch", not the end of the program
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

    bool ok = false;
    const XRRModeInfo* current = FindModeInfo(resources, crtcInfo->mode);
    int currentWidth = 0, currentHeight = 0;
    if (current != nullptr) ModeSize(*current, crtcInfo->rotation, currentWidth, currentHeight);
    if (currentWidth == width && currentHeight == height) {
        ok = true;  // already in force: nothing to change, nothing to restore
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
            display_ = display;
            saved_.crtc = crtc;
            saved_.mode = crtcInfo->mode;
            saved_.x = crtcInfo->x;
            saved_.y = crtcInfo->y;
            saved_.rotation = crtcInfo->rotation;
            saved_.outputs.assign(crtcInfo->outputs, crtcInfo->outputs + crtcInfo->noutput);
            savedScreen_.width = DisplayWidth(display, screen);
            savedScreen_.height = DisplayHeight(display, screen);
            savedScreen_.mmWidth = DisplayWidthMM(display, screen);
            savedScreen_.mmHeight = DisplayHeightMM(display, screen);
            {
                // Xlib's idea of the screen size lags behind RandR; ask the root.
                XWindowAttributes attributes{};
                if (XGetWindowAttributes(display, root, &attributes)) {
                    savedScreen_.width = attributes.width;
                    savedScreen_.height = attributes.height;
                }
            }

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
            target.mmWidth = savedScreen_.width > 0 ? savedScreen_.mmWidth * target.width / savedScreen_.width : 0;
            target.mmHeight =
                savedScreen_.height > 0 ? savedScreen_.mmHeight * target.height / savedScreen_.height : 0;

            CrtcConfig config = saved_;
            config.mode = wanted;
            changed_ = true;
            ok = Apply(config, target);
            if (!ok) Restore();
        }
    }
    XRRFreeCrtcInfo(crtcInfo);
    XRRFreeScreenResources(resources);
    return ok;
}

// Sets one CRTC and the screen size in an order that keeps every CRTC inside
// the screen at each step: grow first, set the CRTC, shrink last.
bool DisplayModeSwitch::Apply(const CrtcConfig& config, const ScreenSize& target) {
    ::Display* display = display_;
    const ::Window root = DefaultRootWindow(display);
    XErrorTrap trap(display);
    XGrabServer(display);
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
    XUngrabServer(display);
    return ok && !trap.Failed();
}

void DisplayModeSwitch::Restore() {
    if (!changed_ || display_ == nullptr) return;
    changed_ = false;
    Apply(saved_, savedScreen_);
    XSync(display_, False);
}

}  // namespace veltrane::platform
