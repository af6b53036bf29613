// Shows one box with the title and text given as arguments and prints the result.
#include <stdio.h>

#include "host/ui/message_box.h"

int main(int argc, char** argv) {
  InitRequesters();
  int result = ShowMessageBox(argc > 1 ? argv[1] : "", argc > 2 ? argv[2] : "");
  printf("result %d\n", result);
  return 0;
}
