#ifndef ARKIVA_TESTS_BOX_WATCH_H_
#define ARKIVA_TESTS_BOX_WATCH_H_

#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// Waits on its own thread for a message box with `title` (of any process),
// reads it, lets `inspect` look at the world while it is up, then presses OK.
class BoxWatch {
 public:
  struct Seen {
    bool found = false;
    std::string text;
    HWND owner = NULL;
    bool error_icon = false;
  };

  explicit BoxWatch(const std::string& title, std::function<void()> inspect = nullptr)
      : thread_([this, title, inspect] { Watch(title, inspect); }) {}
  ~BoxWatch() { Join(); }
  const Seen& Join() {
    if (thread_.joinable())
      thread_.join();
    return seen_;
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

  void Watch(const std::string& title, const std::function<void()>& inspect) {
    for (int i = 0; i < 1500 && !seen_.found; ++i) {
      HWND box = FindWindowA("#32770", title.c_str());
      if (box && IsWindowVisible(box)) {
        seen_.found = true;
        seen_.owner = GetWindow(box, GW_OWNER);
        EnumChildWindows(box, ReadChild, reinterpret_cast<LPARAM>(&seen_));
        if (inspect)
          inspect();
        SendMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
      } else {
        Sleep(20);
      }
    }
  }

  Seen seen_;
  std::thread thread_;
};
#endif

#endif  // ARKIVA_TESTS_BOX_WATCH_H_
