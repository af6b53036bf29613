#include "host/ui/message_box.h"

#include "catalogues/translation.h"
#include "host/escaped_text.h"
#include "host/process/subprocess.h"
#include <ctype.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

namespace {

// The program's file in PATH's absolute folders; "" when there is none.
std::string FindProgram(const char* program) {
  for (const std::string& candidate : ProgramCandidates(program))
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
  return "";
}

// How a dialog program ended: its exit code (-1 when it could not run or
// did not end by itself), and whether it said on standard error that it
// could not reach the display, as zenity ("cannot open display"), xmessage
// ("Can't open display") and kdialog ("could not connect to display") do
// in a Wayland session without Xwayland. Other words there (GTK's notes)
// come from boxes that were shown.
struct DialogEnd {
  int code;
  bool no_display;
};

// Runs a dialog program and waits for it, reading its standard error.
DialogEnd RunDialog(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int errors[2];
  if (pipe2(errors, O_CLOEXEC) != 0)
    return {-1, false};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, errors[1], 2);
  posix_spawn_file_actions_addclose(&actions, errors[0]);
  posix_spawn_file_actions_addclose(&actions, errors[1]);
  pid_t pid;
  bool spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(errors[1]);
  // Read until the program has ended, not until the pipe closes: what it
  // started (a D-Bus daemon) may hold its standard error for longer.
  fcntl(errors[0], F_SETFL, O_NONBLOCK);
  std::string said;
  pid_t reaped = spawned ? 0 : -1;
  int status = 0;
  while (reaped == 0) {
    pollfd readable = {errors[0], POLLIN, 0};
    poll(&readable, 1, 200);
    reaped = waitpid(pid, &status, WNOHANG);
    char buffer[4096];
    for (ssize_t got; (got = read(errors[0], buffer, sizeof(buffer))) > 0;)
      if (said.size() < 65536)
        said.append(buffer, got);
  }
  close(errors[0]);
  for (char& c : said)
    c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  bool no_display = said.find("display") != std::string::npos;
  if (reaped != pid || !WIFEXITED(status))
    return {-1, no_display};
  return {WEXITSTATUS(status), no_display};
}

// kdialog reads a text that looks like HTML as rich text, where a name
// such as "<b>R&D</b>" would lose its tags: the text goes as rich text that
// shows it exactly, its lines and spaces kept.
std::string AsRichText(const std::string& text) {
  return "<qt><p style=\"white-space:pre-wrap\">" + MarkupText(text) + "</p></qt>";
}

}  // namespace

void InitRequesters() {}

int ShowDialogBox(const char* title, const char* text, uint32_t style) {
  std::string t = title ? title : "", x = text ? text : "";
  bool warning = (style & kBoxWarning) == kBoxWarning, error = !warning && (style & kBoxError);
  const char* display = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  if (!(display && *display) && !(wayland && *wayland))
    return -1;
  // Each that is there, in turn, until one shows the box: OK is 0, and a
  // box the user closed otherwise ends with another code; one that could
  // not reach the display, or ended by a signal, showed nothing.
  std::vector<std::vector<std::string>> dialogs;
  std::string zenity = FindProgram("zenity"), kdialog = FindProgram("kdialog"),
              xmessage = FindProgram("xmessage");
  if (!zenity.empty())
    dialogs.push_back({zenity,
                       error     ? "--error"
                       : warning ? "--warning"
                                 : "--info",
                       "--no-markup", "--title", t, "--text", x});
  if (!kdialog.empty())
    dialogs.push_back({kdialog, "--title", t,
                       error     ? "--error"
                       : warning ? "--sorry"
                                 : "--msgbox",
                       AsRichText(x)});
  if (!xmessage.empty())
    dialogs.push_back({xmessage, "-title", t, "-buttons", "OK:0", "-default", "OK", "-center", x});
  for (const std::vector<std::string>& dialog : dialogs) {
    DialogEnd end = RunDialog(dialog);
    if (end.code == 0)
      return 1;
    if (end.code > 0 && !end.no_display)
      return 0;
  }
  return -1;
}

int ShowMessageBox(const char* title, const char* text, uint32_t style) {
  std::string t = title ? title : "", x = text ? text : "";
  int shown = ShowDialogBox(title, text, style);
  if (shown >= 0)
    return shown;
  if (fprintf(stderr, "%s: %s\n", t.c_str(), x.c_str()) < 0)
    return 0;
  if (isatty(0)) {
    fputs(Translated("Press Enter to close.").c_str(), stderr);
    int c;
    while ((c = getchar()) != EOF && c != '\n') {
    }
  }
  return 1;
}
