// A CommandHost that records what the button asks for, and answers the hover
// poll from fields the test sets. No display is needed.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "saver/controls/command_logic.h"
#include "saver/runtime/runtime_error.h"

namespace veltrane::testing {

struct Paint {
  Look look;
  bool reversed;
  bool operator==(const Paint&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Paint& p) {
  return os << LookName(p.look) << (p.reversed ? "/tint-top" : "/white-top");
}

class RecordingHost : public CommandHost {
 public:
  // Records
  std::vector<Paint> paints;
  int clicks = 0;
  int pollStarts = 0;
  int pollInterval = 0;
  std::optional<bool> captionEnabled;
  QString captionText;
  vb::FontSpec captionFont;
  std::optional<vb::Color> captionColour;
  std::optional<int> backdrop;
  std::vector<QString> changed;

  // Answers
  NativeWindow underPointer = 0;
  NativeWindow own = 100;
  NativeWindow container = 200;
  bool containerUnknown = false;
  bool pointerUnreadable = false;
  bool drawFails = false;
  std::optional<vb::FontSpec> ambient;  // none: the button has no container

  void DrawFace(Look look, bool reversed) override {
    if (drawFails) throw vb::RuntimeError(481);
    paints.push_back({look, reversed});
  }
  void SetCaptionEnabled(bool e) override { captionEnabled = e; }
  void SetCaptionText(const QString& t) override { captionText = t; }
  void SetCaptionFont(const vb::FontSpec& f) override { captionFont = f; }
  void SetCaptionColour(vb::Color c) override { captionColour = c; }
  void SetBackdrop(std::int16_t s) override { backdrop = s; }
  void StartHoverPoll(int ms) override {
    ++pollStarts;
    pollInterval = ms;
  }
  void RaiseClick() override { ++clicks; }
  void PropertyChanged(const QString& name) override { changed.push_back(name); }
  vb::FontSpec AmbientFont() override {
    if (!ambient) throw vb::RuntimeError(vb::kErrObjectRequired);
    return *ambient;
  }
  ScreenPoint CursorPos() override {
    if (pointerUnreadable) throw vb::RuntimeError(vb::kErrInvalidProcedureCall);
    return {10, 10};
  }
  NativeWindow WindowFromPoint(ScreenPoint) override { return underPointer; }
  NativeWindow ControlWindow() override { return own; }
  NativeWindow ContainerWindow() override {
    if (containerUnknown) throw vb::RuntimeError(vb::kErrObjectRequired);
    return container;
  }

  std::optional<Paint> LastPaint() const {
    if (paints.empty()) return std::nullopt;
    return paints.back();
  }
};

}  // namespace veltrane::testing
