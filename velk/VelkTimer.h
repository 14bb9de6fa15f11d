// Cooperative scheduler: a table of periodic tasks and the loop that runs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TVelkForm;

// A task procedure: no arguments, no result, not bound to an object.
using TTaskProc = void (*)();

struct TVelkThread {
  std::string Name;
  TTaskProc Proc = nullptr;
  std::int32_t Interval = 0;
  // Clock reading of the registration, then of the pass in which the task last ran. The clock
  // wraps at 2^32 ms, so only differences of readings mean anything.
  std::uint32_t LastRun = 0;
};

// The task table, in the order of registration.
extern std::vector<TVelkThread> Tasks;
// Set while a scheduler lives; a second one is inert.
extern bool TimerExists;

class TVelkTimer {
public:
  // The first live scheduler empties the table and hands RunLoop to `window`; a second one
  // only beeps.
  explicit TVelkTimer(TVelkForm& window);
  // Clears TimerExists; the table and the window's loop procedure stay as they are. An inert
  // second instance leaves the flag of the live one alone.
  ~TVelkTimer();
  TVelkTimer(const TVelkTimer&) = delete;
  TVelkTimer& operator=(const TVelkTimer&) = delete;

  // Appends a task stamped with the current clock; nothing is checked.
  void AddTask(TTaskProc proc, std::int32_t interval, const std::string& name);
  // Empties the table.
  void ClearTasks();

private:
  bool active_ = false;
};

// The program's main loop: messages, then due tasks, until the application terminates.
void RunLoop();
