// Sequential files by number: open for input and close, as FileExists uses them.
#pragma once

#include <string>

namespace veltrane::vb {

inline constexpr int kMaxFileNumber = 511;

// Opens `path` for sequential input as file `number` (1..511). Raises run-time
// error 53 (file not found) when there is no such file, 75 (path/file access
// error) when it cannot be read or is not a plain file, 55 (file already open)
// when the number is in use, and 52 (bad file number) for a number out of range.
void OpenForInput(int number, const std::string& path);
// Closes file `number`; closing a number that is not open does nothing.
void Close(int number);
bool IsOpen(int number);

inline constexpr int kErrBadFileNumber = 52;

}  // namespace veltrane::vb
