// Run-time errors of the shell, and the resume-next error mode.
//
// A procedure that runs in resume-next mode is written as a list of steps:
//
//   void Lumora_S::Form_Load() {
//     vb::ResumeNext(
//         [&] { ... first statement ... },
//         [&] { ... next statement ... });
//   }
//
// A step that raises a run-time error is abandoned, the error number is kept in
// Err(), and the next step runs; nothing is reported. Procedures that trap nothing
// are plain functions: their errors propagate to the nearest resume-next caller,
// where they count as the failure of the calling step.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>
#include <utility>

namespace veltrane::vb {

inline constexpr int kErrOverflow = 6;
inline constexpr int kErrDivisionByZero = 11;
inline constexpr int kErrTypeMismatch = 13;
inline constexpr int kErrFileNotFound = 53;
inline constexpr int kErrFileAlreadyOpen = 55;
inline constexpr int kErrPathFileAccess = 75;
inline constexpr int kErrInvalidProcedureCall = 5;
inline constexpr int kErrObjectRequired = 424;

class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(int number, const std::string& what = "run-time error")
      : std::runtime_error(what + " " + std::to_string(number)), number_(number) {}
  int number() const { return number_; }

 private:
  int number_;
};

// The pending error number (Err.Number). 0 when none.
int& Err();

// Runs one step, keeping the error number of a failure; true when it succeeded.
template <typename Step>
bool TryStep(Step&& step) {
  try {
    std::forward<Step>(step)();
    return true;
  } catch (const RuntimeError& e) {
    Err() = e.number();
  } catch (const std::exception&) {
    Err() = kErrInvalidProcedureCall;
  }
  return false;
}

// Runs every step in order; a failing step is skipped and the next one runs.
template <typename... Steps>
void ResumeNext(Steps&&... steps) {
  (TryStep(std::forward<Steps>(steps)), ...);
}

// Delivers one event to its handler. A run-time error that reaches the event
// loop abandons that handler, keeps its number in Err(), and the program goes on.
template <typename Handler>
void RunEventHandler(Handler&& handler) {
  TryStep(std::forward<Handler>(handler));
}

}  // namespace veltrane::vb
