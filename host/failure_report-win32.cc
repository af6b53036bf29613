#include "host/failure_report.h"

#include "host/entry_label.h"
#include "host/message_box.h"

void ReportFailure(const std::string& text) {
  ShowMessageBox(kEntryLabel, text.c_str(), kBoxError);
}
