#include "VelkTimer.h"

#include "Application.h"
#include "SystemServices.h"
#include "VelkForm.h"

std::vector<TVelkThread> Tasks;
bool TimerExists = false;

TVelkTimer::TVelkTimer(TVelkForm& window) {
  if (TimerExists) {
    MessageBeep(0);
    return;
  }
  TimerExists = true;
  active_ = true;
  ClearTasks();
  window.SetLoopProc(RunLoop);
}

TVelkTimer::~TVelkTimer() {
  if (active_)
    TimerExists = false;
}

void TVelkTimer::AddTask(TTaskProc proc, std::int32_t interval, const std::string& name) {
  Tasks.emplace_back();
  TVelkThread& task = Tasks.back();
  task.Name = name;
  task.Proc = proc;
  task.Interval = interval;
  task.LastRun = timeGetTime();
}

void TVelkTimer::ClearTasks() {
  Tasks.clear();
}

namespace {

bool IsDue(const TVelkThread& task, std::uint32_t now) {
  if (task.Proc == nullptr || task.Interval <= 0)
    return false;
  // Unsigned difference: the elapsed time stays right when the count wraps past 2^31 or 2^32.
  const std::uint32_t elapsed = now - task.LastRun;
  return elapsed > static_cast<std::uint32_t>(task.Interval);
}

} // namespace

void RunLoop() {
  do {
    Application->ProcessMessages();
    const std::uint32_t now = timeGetTime();
    const std::size_t count = Tasks.size();
    // A task may append to the table (the vector may move) or even empty it, so every access
    // goes through the index, and never past the table's current end.
    for (std::size_t i = 0; i < count && i < Tasks.size(); ++i) {
      if (!IsDue(Tasks[i], now))
        continue;
      Tasks[i].Proc();
      if (i < Tasks.size())
        Tasks[i].LastRun = now;
    }
  } while (!Application->Terminated());
}
