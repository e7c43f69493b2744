#include "platform/x11/display_record.h"

#include <algorithm>
#include <cstddef>

namespace veltrane::platform {
namespace {

// Version 1 said only what to give back; such a record cannot be checked
// against the display and is dropped.
constexpr long kRecordVersion = 2;

void EncodeCrtc(const CrtcConfig& c, std::vector<long>& v) {
    v.insert(v.end(), {static_cast<long>(c.crtc), static_cast<long>(c.mode), c.x, c.y,
                       static_cast<long>(c.rotation), static_cast<long>(c.outputs.size())});
    for (RROutput o : c.outputs) v.push_back(static_cast<long>(o));
}

// Reads one CRTC configuration at `at`, moving past it; false when the values end early.
bool DecodeCrtc(const std::vector<long>& v, std::size_t& at, CrtcConfig& c) {
    constexpr std::size_t kFixed = 6;
    if (v.size() - at < kFixed) return false;
    c.crtc = static_cast<RRCrtc>(v[at]);
    c.mode = static_cast<RRMode>(v[at + 1]);
    c.x = static_cast<int>(v[at + 2]);
    c.y = static_cast<int>(v[at + 3]);
    c.rotation = static_cast<Rotation>(v[at + 4]);
    const long count = v[at + 5];
    at += kFixed;
    if (count < 0 || static_cast<std::size_t>(count) > v.size() - at) return false;
    c.outputs.clear();
    for (long i = 0; i < count; ++i) c.outputs.push_back(static_cast<RROutput>(v[at++]));
    return true;
}

// Where the screen size sits among the property's values: between the saved
// rotation and its output count, as in version 1, so the saved fields keep
// their places.
constexpr std::size_t kScreenAt = 6;
constexpr std::size_t kScreenFields = 4;

const ServerState::Crtc* FindCrtc(const ServerState& s, RRCrtc id) {
    for (const auto& c : s.crtcs) {
        if (c.config.crtc == id) return &c;
    }
    return nullptr;
}

const ServerState::Output* FindOutput(const ServerState& s, RROutput id) {
    for (const auto& o : s.outputs) {
        if (o.id == id) return &o;
    }
    return nullptr;
}

const ServerState::Mode* FindMode(const ServerState& s, RRMode id) {
    for (const auto& m : s.modes) {
        if (m.id == id) return &m;
    }
    return nullptr;
}

template <typename T>
bool Has(const std::vector<T>& list, T value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

// One rotation, maybe reflected, and nothing the CRTC does not support.
bool RotationSupported(Rotation rotation, Rotation supported) {
    constexpr Rotation kRotations = RR_Rotate_0 | RR_Rotate_90 | RR_Rotate_180 | RR_Rotate_270;
    constexpr Rotation kReflections = RR_Reflect_X | RR_Reflect_Y;
    const Rotation turn = rotation & kRotations;
    const bool single = turn != 0 && (turn & (turn - 1)) == 0;
    return single && (rotation & ~(kRotations | kReflections)) == 0 && (rotation & ~supported) == 0;
}

}  // namespace

std::vector<long> EncodeRecord(const Record& r) {
    std::vector<long> v = {kRecordVersion};
    EncodeCrtc(r.saved, v);
    v.insert(v.begin() + kScreenAt, {r.screen.width, r.screen.height, r.screen.mmWidth, r.screen.mmHeight});
    EncodeCrtc(r.switched, v);
    return v;
}

std::optional<Record> DecodeRecord(const std::vector<long>& values) {
    if (values.size() < kScreenAt + kScreenFields || values[0] != kRecordVersion) return std::nullopt;
    // With the screen size lifted out, the saved CRTC reads like the switched one.
    std::vector<long> v = values;
    const auto screen = v.begin() + kScreenAt;
    Record r;
    r.screen = ScreenSize{static_cast<int>(screen[0]), static_cast<int>(screen[1]), static_cast<int>(screen[2]),
                          static_cast<int>(screen[3])};
    v.erase(screen, screen + kScreenFields);
    std::size_t at = 1;
    if (!DecodeCrtc(v, at, r.saved) || !DecodeCrtc(v, at, r.switched) || at != v.size()) return std::nullopt;
    return r;
}

bool RecordFits(const Record& r, const ServerState& s) {
    const CrtcConfig& c = r.saved;
    const ServerState::Crtc* crtc = FindCrtc(s, c.crtc);
    const ServerState::Mode* mode = FindMode(s, c.mode);
    if (crtc == nullptr || mode == nullptr || c.outputs.empty()) return false;
    for (RROutput id : c.outputs) {
        const ServerState::Output* output = FindOutput(s, id);
        if (output == nullptr || !Has(output->modes, c.mode) || !Has(output->crtcs, c.crtc)) return false;
    }
    if (!RotationSupported(c.rotation, crtc->rotations)) return false;

    // Place and size in 64 bits: a forged coordinate must not wrap into range.
    const bool turned = (c.rotation & (RR_Rotate_90 | RR_Rotate_270)) != 0;
    const long long right = static_cast<long long>(c.x) + (turned ? mode->height : mode->width);
    const long long bottom = static_cast<long long>(c.y) + (turned ? mode->width : mode->height);
    const ScreenSize& z = r.screen;
    if (z.width < s.minWidth || z.width > s.maxWidth || z.height < s.minHeight || z.height > s.maxHeight) return false;
    if (z.mmWidth <= 0 || z.mmHeight <= 0) return false;
    if (c.x < 0 || c.y < 0 || right > z.width || bottom > z.height) return false;

    const CrtcConfig& w = r.switched;
    return w.mode != None && FindMode(s, w.mode) != nullptr && w.crtc == c.crtc && w.x == c.x && w.y == c.y &&
           w.rotation == c.rotation && w.outputs == c.outputs;
}

bool StillSwitched(const Record& r, const ServerState& s) {
    const ServerState::Crtc* crtc = FindCrtc(s, r.switched.crtc);
    return crtc != nullptr && crtc->config == r.switched;
}

}  // namespace veltrane::platform
