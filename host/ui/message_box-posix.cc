#include "host/ui/message_box.h"

#include "catalogues/translation.h"
#include "host/process/subprocess.h"
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
  const char* path = getenv("PATH");
  for (const std::string& folder : ProgramFolders(path ? path : "/usr/bin:/bin", true)) {
    std::string candidate = folder + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return "";
}

// Runs a dialog program and waits; its exit code, or -1.
int RunDialog(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
    return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
    return -1;
  return WEXITSTATUS(status);
}

// kdialog reads a text that looks like HTML as rich text, where a name
// such as "<b>R&D</b>" would lose its tags: the text goes as rich text that
// shows it exactly, its lines and spaces kept.
std::string AsRichText(const std::string& text) {
  std::string rich = "<qt><p style=\"white-space:pre-wrap\">";
  for (char c : text)
    rich += c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '&' ? "&amp;" : std::string(1, c);
  return rich + "</p></qt>";
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
  std::vector<std::string> args;
  std::string zenity = FindProgram("zenity"), kdialog = FindProgram("kdialog"),
              xmessage = FindProgram("xmessage");
  if (!zenity.empty())
    args = {zenity,
            error ? "--error" : warning ? "--warning" : "--info",
            "--no-markup",
            "--title",
            t,
            "--text",
            x};
  else if (!kdialog.empty())
    args = {kdialog, "--title", t,
            error     ? "--error"
            : warning ? "--sorry"
                      : "--msgbox",
            AsRichText(x)};
  else if (!xmessage.empty())
    args = {xmessage, "-title", t, "-buttons", "OK:0", "-default", "OK", "-center", x};
  int code = args.empty() ? -1 : RunDialog(args);
  return code < 0 ? -1 : code == 0 ? 1 : 0;
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
