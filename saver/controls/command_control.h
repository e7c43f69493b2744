// The Command button as one of a form's controls: placed on a container of the
// form runtime, listed among the container's controls, and reachable by name
// (CallByName "Initialize", LetByName "Enabled"), the way the configuration
// dialog walks its controls to set its buttons up.
//
//   CommandControl Cmd_OK{*this, "Cmd_OK", storedBag};   // a member of the form
//   QObject::connect(&Cmd_OK.Button(), &Command::Click, ...);
#pragma once

#include <string>
#include <string_view>

#include <QPointer>

#include "saver/controls/command.h"
#include "saver/runtime/control.h"
#include "saver/runtime/property_bag.h"

namespace veltrane {

class CommandControl : public vb::Control {
 public:
  // Loads the button from its stored properties (Command::Load) as a child of the
  // container's widget.
  CommandControl(vb::Container& container, std::string name, const vb::PropertyBag& stored);
  ~CommandControl() override;

  Command& Button() const;
  QWidget* Widget() override { return button_.data(); }

  // The button's own Enabled property (reading it has the property's side
  // effects), not the widget's.
  bool Enabled() const override;
  void SetEnabled(bool enabled) override;

  // "Initialize"; other names raise error 438.
  void CallByName(std::string_view method) override;
  // "Enabled" sets the button's property; the others are the common ones.
  void LetByName(std::string_view property, double value) override;

 private:
  QPointer<Command> button_;
};

}  // namespace veltrane
