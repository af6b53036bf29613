#include "app/xz_progress.h"

void AskXzProgress(Subprocess*) {}
