#include "saver/controls/command_control.h"

#include "saver/runtime/runtime_error.h"

namespace veltrane {

CommandControl::CommandControl(vb::Container& container, std::string name, const vb::PropertyBag& stored)
    : Control(container, name),
      button_(Command::Load(stored, container.ContainerWidget(), QString::fromStdString(name))) {}

CommandControl::~CommandControl() { delete button_.data(); }

Command& CommandControl::Button() const {
  if (!button_) throw vb::RuntimeError(vb::kErrObjectRequired);
  return *button_;
}

bool CommandControl::Enabled() const { return Button().Enabled() != vb::False; }

void CommandControl::SetEnabled(bool enabled) { Button().SetEnabled(vb::ToBoolean(enabled)); }

void CommandControl::CallByName(std::string_view method) {
  if (method == "Initialize") {
    Button().Initialize();
    return;
  }
  throw vb::RuntimeError(vb::kErrNoSuchMember);
}

void CommandControl::LetByName(std::string_view property, double value) {
  if (property == "Enabled") {
    SetEnabled(value != 0);
    return;
  }
  Control::LetByName(property, value);
}

}  // namespace veltrane
