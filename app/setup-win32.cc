#include "app/setup.h"

bool MenuNeedsSetup() { return false; }
