#include "app/archive.h"
#include "app/runtime.h"

int main(int argc, char** argv) {
  StartRuntime(argc, argv);
  EndRuntime(CreateArchive());
}
