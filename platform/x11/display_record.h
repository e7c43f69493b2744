// The display-mode record kept on the root window, as plain data: what to give
// back, what the renderer switched to, its encoding in the root property, and
// the checks a record must pass against the server before it is used. Anyone
// on the display can write the property, and the user may change the mode after
// a renderer died, so nothing in a record is trusted until it fits the server
// and the display is still exactly as the renderer left it.
#pragma once

#include <optional>
#include <vector>

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace veltrane::platform {

struct CrtcConfig {
    RRCrtc crtc = 0;
    RRMode mode = 0;
    int x = 0, y = 0;
    Rotation rotation = RR_Rotate_0;
    std::vector<RROutput> outputs;
    bool operator==(const CrtcConfig&) const = default;
};

struct ScreenSize {
    int width = 0, height = 0, mmWidth = 0, mmHeight = 0;
};

// What the first switch found in force (given back by the last holder), and
// what it switched that CRTC to.
struct Record {
    CrtcConfig saved;
    ScreenSize screen;
    CrtcConfig switched;
};

// The server's RandR state a record is checked against.
struct ServerState {
    struct Crtc {
        CrtcConfig config;       // mode 0 when off
        Rotation rotations = 0;  // the ones it supports
    };
    struct Output {
        RROutput id = 0;
        std::vector<RRCrtc> crtcs;  // the CRTCs it can use
        std::vector<RRMode> modes;  // the modes it offers
    };
    struct Mode {
        RRMode id = 0;
        int width = 0, height = 0;
    };
    int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
    std::vector<Crtc> crtcs;
    std::vector<Output> outputs;
    std::vector<Mode> modes;
};

// The property's values; a record of another version or shape reads as none.
std::vector<long> EncodeRecord(const Record& record);
std::optional<Record> DecodeRecord(const std::vector<long>& values);

// True when the saved configuration can be set on this server as it is: its
// CRTC, mode and outputs exist, every output offers the mode and can use the
// CRTC, the rotation is a single one the CRTC supports, and the CRTC lies inside
// a screen size (with millimetres) the server accepts. The switched configuration
// must be the same CRTC, place, rotation and outputs, since a switch changes only
// the mode.
bool RecordFits(const Record& record, const ServerState& server);

// True when the record's CRTC is still exactly as the switch left it; after any
// other change (the user's own choice) the record is stale.
bool StillSwitched(const Record& record, const ServerState& server);

}  // namespace veltrane::platform
