#ifndef ARKIVA_TESTS_BOX_WATCH_H_
#define ARKIVA_TESTS_BOX_WATCH_H_

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Waits on its own thread for a message box with `title` (of any process),
// reads it, lets `inspect` look at the world while it is up, then presses OK.
class BoxWatch {
 public:
  struct Seen {
    bool found = false;
    std::string text;
    HWND owner = NULL;
    bool error_icon = false;
    bool per_monitor_dpi = false;  // the box is drawn for each monitor's scaling
  };

  // Whose boxes count: any process's, or only those that AddProcess names
  // (none before the first call), since tests that run side by side show
  // boxes of the same title, and a box taken before its program was added
  // would be another test's.
  enum Whose { kAnyProcess, kAddedProcesses };

  explicit BoxWatch(const std::string& title, std::function<void()> inspect = nullptr,
                    Whose whose = kAnyProcess)
      : title_(title), whose_(whose), thread_([this, inspect] { Watch(inspect); }) {}

  // From the first call on, only boxes of these processes count.
  // While such a process runs, the watch goes on however late its box comes.
  void AddProcess(DWORD process_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    processes_.push_back(process_id);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    if (process)
      handles_.push_back(process);
  }
  ~BoxWatch() {
    Join();
    for (HANDLE process : handles_)
      CloseHandle(process);
  }
  const Seen& Join() {
    if (thread_.joinable())
      thread_.join();
    return seen_;
  }
  // Ends the watch once the program that could show the box has ended: a box
  // keeps its program alive, so whatever it showed has been seen by then.
  const Seen& Stop() {
    stop_ = true;
    return Join();
  }

 private:
  static BOOL CALLBACK ReadChild(HWND child, LPARAM param) {
    Seen* seen = reinterpret_cast<Seen*>(param);
    char cls[32], text[1024];
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0 || !IsWindowVisible(child))
      return TRUE;
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
      seen->error_icon = seen->error_icon || SendMessageA(child, STM_GETICON, 0, 0) != 0;
    else if (GetWindowTextA(child, text, sizeof(text)) > 0)
      seen->text = text;
    return TRUE;
  }

  static BOOL CALLBACK MatchBox(HWND window, LPARAM param) {
    BoxWatch* self = reinterpret_cast<BoxWatch*>(param);
    char cls[16], title[256];
    // A message box has an OK button; the progress dialog of the same title has not.
    if (!IsWindowVisible(window) || !GetClassNameA(window, cls, sizeof(cls)) ||
        lstrcmpA(cls, "#32770") != 0 || GetWindowTextA(window, title, sizeof(title)) < 0 ||
        self->title_ != title || !GetDlgItem(window, IDOK))
      return TRUE;
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    std::lock_guard<std::mutex> lock(self->mutex_);
    bool ours = self->processes_.empty() && self->whose_ == kAnyProcess;
    for (DWORD p : self->processes_)
      ours = ours || p == process_id;
    if (!ours)
      return TRUE;
    self->box_ = window;
    return FALSE;
  }

  // Whether a watched process is still running (none watched: false).
  bool WatchedProcessRuns() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (HANDLE process : handles_)
      if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
        return true;
    return false;
  }

  void Watch(const std::function<void()>& inspect) {
    for (int i = 0; (i < 1500 || WatchedProcessRuns()) && !seen_.found && !stop_; ++i) {
      box_ = NULL;
      EnumWindows(MatchBox, reinterpret_cast<LPARAM>(this));
      HWND box = box_;
      if (box) {
        seen_.found = true;
        seen_.owner = GetWindow(box, GW_OWNER);
        // (Wine 8 knows per-monitor awareness, not its second version.)
        seen_.per_monitor_dpi =
            GetAwarenessFromDpiAwarenessContext(GetWindowDpiAwarenessContext(box)) ==
            DPI_AWARENESS_PER_MONITOR_AWARE;
        EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&seen_));
        if (inspect)
          inspect();
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      } else {
        Sleep(20);
      }
    }
  }

  std::string title_;
  Whose whose_;
  std::mutex mutex_;
  std::vector<DWORD> processes_;
  std::vector<HANDLE> handles_;
  HWND box_ = NULL;
  Seen seen_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
#endif

#endif  // ARKIVA_TESTS_BOX_WATCH_H_
