#include "host/failure_report.h"

#include "host/message_box.h"

void ReportFailure(const std::string& text) {
  ShowMessageBox("Create tar.xz", text.c_str(), kBoxError);
}
