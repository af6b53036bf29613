#include "host/interrupt.h"

void CatchInterrupt() {}
bool Interrupted() { return false; }
void PassOnInterrupt() {}
