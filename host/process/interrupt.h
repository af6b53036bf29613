#ifndef ARKIVA_HOST_PROCESS_INTERRUPT_H_
#define ARKIVA_HOST_PROCESS_INTERRUPT_H_

// Ctrl-C at a terminal (SIGINT), a closed terminal or a logout (SIGHUP), kill
// or a session manager (SIGTERM), while arkiva waits on tar or xz. Caught,
// each only raises a flag: arkiva stops tar or xz itself (which may not have
// got the signal: it went to arkiva alone), removes what the run made, and
// then ends by the same signal.
// Windows: Ctrl-C, Ctrl-Break or closing the console that xz shows, which
// arkiva made; while tar runs, the progress dialog's Cancel is the way.

// From now on an interrupt sets the flag instead of ending the process. A
// signal that was ignored when arkiva started stays ignored (nohup).
void CatchInterrupt();

// Whether an interrupt has come since CatchInterrupt.
bool Interrupted();

// After the clean-up: ends the process by the signal it caught, as the shell
// or session that sent it expects; returns when none came.
void PassOnInterrupt();

#endif  // ARKIVA_HOST_PROCESS_INTERRUPT_H_
