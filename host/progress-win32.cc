#include "host/progress.h"

#include <windows.h>
#include <shlobj.h>

struct Progress {
  std::string title, line;
  IProgressDialog* dialog;  // made by the first ShowProgress
};

namespace {

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, NULL, 0);
  std::wstring wide(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

// The shell's own dialog, on a thread of its own: it stays responsive while
// this thread waits on tar.
IProgressDialog* OpenDialog(const std::string& title, const std::string& line) {
  IProgressDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ProgressDialog, NULL, CLSCTX_INPROC_SERVER, IID_IProgressDialog,
                              reinterpret_cast<void**>(&dialog))))
    return nullptr;
  dialog->SetTitle(Wide(title).c_str());
  dialog->SetLine(1, Wide(line).c_str(), FALSE, NULL);
  if (FAILED(dialog->StartProgressDialog(NULL, NULL, PROGDLG_NORMAL | PROGDLG_AUTOTIME, NULL))) {
    dialog->Release();
    return nullptr;
  }
  return dialog;
}

}  // namespace

Progress* BeginProgress(const std::string& title, const std::string& line,
                        const std::string& position) {
  return new Progress{title, position.empty() ? line : line + " (" + position + ")", nullptr};
}

void ShowProgress(Progress* progress, uint64_t done, uint64_t total) {
  if (!progress->dialog)
    progress->dialog = OpenDialog(progress->title, progress->line);
  if (!progress->dialog)
    return;
  progress->dialog->SetLine(2, Wide(FormatDoneOfTotal(done, total)).c_str(), FALSE, NULL);
  progress->dialog->SetProgress64(done, total);
}

bool ProgressCancelled(const Progress* progress) {
  return progress->dialog && progress->dialog->HasUserCancelled();
}

void EndProgress(Progress* progress) {
  if (progress && progress->dialog) {
    progress->dialog->StopProgressDialog();
    progress->dialog->Release();
  }
  delete progress;
}
