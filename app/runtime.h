#ifndef ARKIVA_APP_RUNTIME_H_
#define ARKIVA_APP_RUNTIME_H_

// The start and end of the process around the one flow that it runs.

// Creates the private heap (Windows) and sets up the services that the flows
// rely on: program arguments, the launcher and the message box.
void StartRuntime(int argc, char** argv);

// Releases them in reverse order and ends the process with `exit_code`.
[[noreturn]] void EndRuntime(int exit_code);

#endif  // ARKIVA_APP_RUNTIME_H_
