#ifndef ARKIVA_TESTS_PROGRESS_DIALOG_H_
#define ARKIVA_TESTS_PROGRESS_DIALOG_H_

// Windows: the shell's progress dialog of an arkiva process, read as a user
// sees it.

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// arkiva's progress dialog as a user sees it.
struct DialogView {
  bool found = false;
  std::string title;
  std::vector<std::string> lines;  // its non-empty texts, top to bottom
  unsigned position = 0, range = 0;
  HWND cancel = NULL;
};

inline BOOL CALLBACK ReadStaticText(HWND child, LPARAM param) {
  char cls[32], text[512];
  GetClassNameA(child, cls, sizeof(cls));
  if (lstrcmpiA(cls, "Static") == 0 && IsWindowVisible(child) &&
      GetWindowTextA(child, text, sizeof(text)) > 0)
    reinterpret_cast<DialogView*>(param)->lines.push_back(text);
  return TRUE;
}

inline DialogView FindProgressDialog(DWORD pid) {
  struct Search {
    DWORD pid;
    HWND found;
  } search = {pid, NULL};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != s->pid || !IsWindowVisible(window) ||
            !FindWindowExA(window, NULL, "msctls_progress32", NULL))
          return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  DialogView view;
  if (!search.found)
    return view;
  view.found = true;
  char title[256] = "";
  GetWindowTextA(search.found, title, sizeof(title));
  view.title = title;
  EnumChildWindows(search.found, ReadStaticText, reinterpret_cast<LPARAM>(&view));
  HWND bar = FindWindowExA(search.found, NULL, "msctls_progress32", NULL);
  view.position = SendMessageA(bar, PBM_GETPOS, 0, 0);
  view.range = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
  view.cancel = GetDlgItem(search.found, IDCANCEL);
  return view;
}

#endif  // ARKIVA_TESTS_PROGRESS_DIALOG_H_
