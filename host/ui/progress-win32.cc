#include "host/ui/progress.h"

#include <windows.h>
#include <shlobj.h>

#include "catalogues/translation.h"
#include "host/wide_text.h"

struct Progress {
  std::string title;
  ULONGLONG start;
  IProgressDialog* dialog;  // made by the first report after the quiet second
};

namespace {

// A run that ends within this time shows nothing at all.
const ULONGLONG kQuietMilliseconds = 1000;

// The shell's own dialog, on a thread of its own: it stays responsive while
// this thread waits on tar and xz. It reckons the time left itself.
IProgressDialog* OpenDialog(const std::string& title) {
  IProgressDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ProgressDialog, NULL, CLSCTX_INPROC_SERVER, IID_IProgressDialog,
                              reinterpret_cast<void**>(&dialog))))
    return nullptr;
  dialog->SetTitle(Wide(title).c_str());
  if (FAILED(dialog->StartProgressDialog(NULL, NULL, PROGDLG_NORMAL | PROGDLG_AUTOTIME, NULL))) {
    dialog->Release();
    return nullptr;
  }
  return dialog;
}

}  // namespace

Progress* BeginProgress(const std::string& title) {
  return new Progress{title, GetTickCount64(), nullptr};
}

void ShowProgress(Progress* progress, const ProgressReport& report) {
  if (GetTickCount64() - progress->start < kQuietMilliseconds)
    return;
  if (!progress->dialog)
    progress->dialog = OpenDialog(progress->title);
  if (!progress->dialog)
    return;
  std::string item = FormatItemOfItems(report);
  // TRANSLATORS: a step and where the run stands: Creating "a.tar" (item 2 of 5).
  std::string line = item.empty() ? report.step : Translated("%s (%s)", {report.step, item});
  progress->dialog->SetLine(1, Wide(line).c_str(), FALSE, NULL);
  progress->dialog->SetLine(2, Wide(FormatDoneOfTotal(report.done, report.total)).c_str(), FALSE,
                            NULL);
  const ULONGLONG kSteps = 1000000;
  progress->dialog->SetProgress64(static_cast<ULONGLONG>(report.overall_fraction * kSteps), kSteps);
}

bool ProgressCancelled(Progress* progress) {
  return progress->dialog && progress->dialog->HasUserCancelled();
}

// Windows has no notice: the archive shows in Explorer's window.
void EndProgress(Progress* progress, const std::string&, const std::string&) {
  if (progress && progress->dialog) {
    progress->dialog->StopProgressDialog();
    progress->dialog->Release();
  }
  delete progress;
}
