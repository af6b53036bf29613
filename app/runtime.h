#ifndef ARKIVA_APP_RUNTIME_H_
#define ARKIVA_APP_RUNTIME_H_

// The start and end of the process around the one flow that it runs.

// Sets up the services that the flows rely on: program arguments and child
// programs, and on Windows the private heap and the message box.
void StartRuntime(int argc, char** argv);

// Releases them, and ends the process with `exit_code`, or by the signal of
// an interrupt that came (POSIX).
[[noreturn]] void EndRuntime(int exit_code);

#endif  // ARKIVA_APP_RUNTIME_H_
