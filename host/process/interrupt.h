#ifndef ARKIVA_HOST_PROCESS_INTERRUPT_H_
#define ARKIVA_HOST_PROCESS_INTERRUPT_H_

#include <string>

// Ctrl-C at a terminal (SIGINT), a closed terminal or a logout (SIGHUP), kill
// or a session manager (SIGTERM), while arkiva waits on tar or xz. Caught,
// each only raises a flag: arkiva stops tar or xz itself (which may not have
// got the signal: it went to arkiva alone), removes what the run made, and
// then ends by the same signal.
// Windows: Ctrl-C, Ctrl-Break or closing the console that xz shows, which
// arkiva made, and the end of the session (a log-off, a shutdown), which a
// hidden top-level window hears; while tar runs, the progress dialog's
// Cancel is the way.

// From now on an interrupt sets the flag instead of ending the process. A
// signal that was ignored when arkiva started stays ignored (nohup).
void CatchInterrupt();

// Whether an interrupt has come since CatchInterrupt.
bool Interrupted();

// After the clean-up: ends the process by the signal it caught, as the shell
// or session that sent it expects; returns when none came.
void PassOnInterrupt();

// What the run is doing, in words for the user ("" once it is done).
// Windows names it to the session's end (ShutdownBlockReasonCreate), so
// that a user who logs off sees why arkiva holds it up; POSIX: nothing.
void SetBusyReason(const std::string& reason);

#endif  // ARKIVA_HOST_PROCESS_INTERRUPT_H_
