#include "host/failure_report.h"

#include <stdio.h>

#include "host/entry_label.h"
#include "host/message_box.h"

void ReportFailure(const std::string& text) {
  fprintf(stderr, "arkiva: %s\n", text.c_str());
  ShowDialogBox(kEntryLabel, text.c_str(), kBoxError);
}
