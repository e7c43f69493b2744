// The modal message box. Only the form the shell uses exists: one OK button, no
// icon; an empty title shows the application title "Veltrane(ScreenSaver)".
#pragma once

#include <string>

namespace veltrane::vb {

inline constexpr int kOkOnly = 0;
inline constexpr int kResultOk = 1;

// Shows the box and returns kResultOk once it is dismissed.
int MsgBox(const std::string& prompt, int buttons = kOkOnly, const std::string& title = "");

}  // namespace veltrane::vb
