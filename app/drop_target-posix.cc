#include "app/drop_target.h"

// The Linux file managers pass the selection on the command line.
bool StartedByCom() {
  return false;
}

std::vector<std::string> ReceiveDroppedItems() {
  return {};
}
