// A session's idle clock, as the launcher's one poll loop drives it: a file
// descriptor to wait on, a dispatch when it is ready, and the idle periods it
// reports. No source wakes the process by itself: each waits for its clock's
// events (a bus signal, a compositor event, an X alarm).
#pragma once

#include <functional>
#include <string>

namespace veltrane::idle {

class IdleSource {
 public:
  enum class Report { Idle, Active };
  using Listener = std::function<void(Report)>;

  virtual ~IdleSource() = default;

  // The clock's name as the start line tells it.
  virtual std::string Name() const = 0;
  // Starts the count; reports go to `listener` from Dispatch.
  virtual bool Start(const Listener& listener) = 0;

  virtual int Fd() const = 0;
  // Called before each wait: flushes what is queued. Returns the poll events to
  // wait for on Fd() and sets `timeoutMs` (-1: none) when the source has a call
  // in flight with a time limit, or 0 when it holds messages already read;
  // Dispatch follows when that time has passed.
  virtual short PrepareWait(int& timeoutMs) = 0;
  // Handles what arrived. False when the session is gone.
  virtual bool Dispatch() = 0;

  // Asked when the time-out fires: whether an inhibitor that the clock itself
  // does not honour is held.
  virtual bool Inhibited() = 0;
  // Restarts the idle count from now (the saver has ended).
  virtual void CountAgain() = 0;
};

}  // namespace veltrane::idle
