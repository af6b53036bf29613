#include "host/ui/message_box.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "tests/box_watch.h"
#include "tests/test_util.h"

#ifdef _WIN32

namespace {

HWND MakeWindow(DWORD ex_style, bool visible) {
  HWND w = CreateWindowExA(ex_style, "STATIC", "arkiva test window", WS_OVERLAPPEDWINDOW, 10, 10,
                           120, 80, NULL, NULL, NULL, NULL);
  if (visible)
    ShowWindow(w, SW_SHOWNORMAL);
  return w;
}

bool Topmost(HWND w) {
  return GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST;
}

}  // namespace

TEST(ShowMessageBox, SuspendsAndRestoresTheThreadsWindows) {
  InitRequesters();
  HWND enabled = MakeWindow(0, true);
  HWND disabled = MakeWindow(0, true);
  EnableWindow(disabled, FALSE);
  HWND hidden = MakeWindow(0, false);
  HWND top = MakeWindow(WS_EX_TOPMOST, true);
  SetForegroundWindow(top);
  ASSERT_EQ(top, GetForegroundWindow());
  bool during[4] = {};
  BoxWatch watch("arkiva box", [&] {
    during[0] = IsWindowEnabled(enabled);
    during[1] = IsWindowEnabled(hidden);
    during[2] = Topmost(top);
    during[3] = IsWindowEnabled(top);
  });
  EXPECT_EQ(IDOK, ShowMessageBox("arkiva box", "Hello there"));
  const BoxWatch::Seen& seen = watch.Join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ("Hello there", seen.text);
  EXPECT_FALSE(seen.error_icon);
  EXPECT_EQ(top, seen.owner);  // the foreground window of this process
  EXPECT_FALSE(during[0]);     // disabled while the box is up
  EXPECT_TRUE(during[1]);      // hidden windows are left alone
  EXPECT_FALSE(during[2]);     // the top-most window leaves the band
  EXPECT_FALSE(during[3]);     // modal: the box holds its owner
  EXPECT_TRUE(IsWindowEnabled(enabled));
  EXPECT_FALSE(IsWindowEnabled(disabled));  // was disabled before: stays so
  EXPECT_TRUE(IsWindowEnabled(top));
  EXPECT_TRUE(Topmost(top));
  for (HWND w : {enabled, disabled, hidden, top})
    DestroyWindow(w);
}

TEST(ShowMessageBox, AnotherThreadsForegroundWindowOwnsTheBoxUntouched) {
  HWND mine = MakeWindow(0, true);
  HWND theirs = NULL;
  HANDLE ready = CreateEventA(NULL, TRUE, FALSE, NULL);
  DWORD their_thread = 0;
  std::thread other([&] {
    their_thread = GetCurrentThreadId();
    theirs = MakeWindow(WS_EX_TOPMOST, true);
    SetForegroundWindow(theirs);
    SetEvent(ready);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
      DispatchMessageA(&msg);
    DestroyWindow(theirs);
  });
  WaitForSingleObject(ready, INFINITE);
  ASSERT_EQ(theirs, GetForegroundWindow());
  bool mine_enabled = true, theirs_top = false;
  BoxWatch watch("arkiva box 2", [&] {
    mine_enabled = IsWindowEnabled(mine);
    theirs_top = Topmost(theirs);
  });
  EXPECT_EQ(IDOK, ShowMessageBox("arkiva box 2", "Two threads", kBoxError));
  const BoxWatch::Seen& seen = watch.Join();
  PostThreadMessageA(their_thread, WM_QUIT, 0, 0);
  other.join();
  EXPECT_EQ(theirs, seen.owner);
  EXPECT_TRUE(seen.error_icon);
  EXPECT_FALSE(mine_enabled);
  EXPECT_TRUE(theirs_top);  // the other thread's window keeps its band
  EXPECT_TRUE(IsWindowEnabled(mine));
  DestroyWindow(mine);
  CloseHandle(ready);
}

#else

TEST(ShowMessageBox, WithoutADisplayWritesToStandardError) {
  std::string out;
  EXPECT_EQ(0, RunShell("DISPLAY= WAYLAND_DISPLAY= '" + BuildPath("tests/box_probe") +
                            "' 'Create tar.gz' 'Setup OK' </dev/null",
                        &out));
  EXPECT_EQ("Create tar.gz: Setup OK\nresult 1\n", out);
}

// A dialog program that cannot reach the display (xmessage in a Wayland
// session without Xwayland) shows nothing: the next one tries, and when
// none can, the words go to standard error. One the user closed counts as
// shown.
TEST(ShowMessageBox, NoWordsAreLostWhenNoDialogCanShow) {
  const char kNoDisplay[] = "echo \"$0: Error: Can't open display: :99\" >&2; exit 1\n";
  struct {
    const char* zenity;  // its script; null: there is none
    const char* xmessage;
    const char* out;
  } rows[] = {
      {nullptr, kNoDisplay, "T: Setup OK\nresult 1\n"},
      {kNoDisplay, kNoDisplay, "T: Setup OK\nresult 1\n"},
      {"echo 'cannot open display: :99' >&2; exit 1\n", nullptr, "T: Setup OK\nresult 1\n"},
      {kNoDisplay, "exit 0\n", "result 1\n"},
      {"echo 'Gtk-Message: mapped without a transient parent' >&2; exit 1\n", kNoDisplay,
       "result 0\n"},  // closed by the user
  };
  for (const auto& row : rows) {
    ScratchDir dir;
    for (const auto& program :
         {std::make_pair("zenity", row.zenity), std::make_pair("xmessage", row.xmessage)}) {
      if (!program.second)
        continue;
      WriteText(dir / program.first, std::string("#!/bin/sh\n") + program.second);
      chmod((dir / program.first).c_str(), 0755);
    }
    std::string out;
    EXPECT_EQ(0, RunShell("DISPLAY=:99 PATH='" + dir.path + "' '" + BuildPath("tests/box_probe") +
                              "' T 'Setup OK' </dev/null 2>&1",
                          &out));
    EXPECT_EQ(row.out, out) << (row.zenity ? row.zenity : "") << (row.xmessage ? row.xmessage : "");
  }
}

// A name that looks like markup reaches the user as it is, whichever dialog
// program shows it: zenity with --no-markup, kdialog as rich text that
// shows the text exactly.
TEST(ShowMessageBox, TextThatLooksLikeMarkupIsShownAsItIs) {
  ScratchDir dir;
  const std::string text = "\"<b>R&D</b>  x\" failed";
  struct {
    const char* program;
    std::string got;
  } rows[] = {
      {"zenity", "[--info][--no-markup][--title][T][--text][" + text + "]"},
      {"kdialog",
       "[--title][T][--msgbox][<qt><p style=\"white-space:pre-wrap\">\"&lt;b&gt;R&amp;D&lt;/"
       "b&gt;  x\" failed</p></qt>]"},
  };
  for (const auto& row : rows) {
    std::string bin = dir / row.program;
    MakeDir(bin);
    WriteText(bin + "/" + row.program, "#!/bin/sh\nprintf '[%s]' \"$@\"\n");
    chmod((bin + "/" + row.program).c_str(), 0755);
    std::string out;
    EXPECT_EQ(0, RunArgv({BuildPath("tests/box_probe"), "T", text}, "", &out,
                         {"DISPLAY=:99", "PATH=" + bin}));
    EXPECT_EQ(row.got + "result 1\n", out) << row.program;
  }
}

#endif
