#ifndef ARKIVA_APP_RUNTIME_H_
#define ARKIVA_APP_RUNTIME_H_

#include <string>

// The start and end of the process around the one flow that it runs.

// Sets up the services that the flows rely on: program arguments and child
// programs, and on Windows the private heap and the message box.
void StartRuntime(int argc, char** argv);

// Why arkiva cannot run on this system, in the user's language; empty when
// it can. Windows 10 before version 1903 ignores the manifest's UTF-8 code
// page: every name outside the system's old one would reach arkiva, tar
// and xz as "?", and every translated text would be mangled.
std::string WhyThisSystemCannotRunArkiva();

// Releases them, and ends the process with `exit_code`, or by the signal of
// an interrupt that came (POSIX).
[[noreturn]] void EndRuntime(int exit_code);

#endif  // ARKIVA_APP_RUNTIME_H_
