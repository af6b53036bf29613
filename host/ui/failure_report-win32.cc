#include "host/ui/failure_report.h"

#include "host/ui/message_box.h"

void ReportFailure(const std::string& title, const std::string& text) {
  ShowMessageBox(title.c_str(), text.c_str(), kBoxError);
}

void ReportWarning(const std::string& title, const std::string& text) {
  ShowMessageBox(title.c_str(), text.c_str(), kBoxWarning);
}
