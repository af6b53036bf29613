// arkiva throws no exceptions, so an uncaught one can only come from the
// runtime (out of memory); it ends the process at once. libstdc++'s default
// handler would print the exception's demangled type, and with it link in
// the demangler, the largest single part of a static arkiva.exe: this
// definition takes the place of the library's, which is then left out.
#include <stdlib.h>

#include <cxxabi.h>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
  abort();
}

}  // namespace __gnu_cxx
