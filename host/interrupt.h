#ifndef ARKIVA_HOST_INTERRUPT_H_
#define ARKIVA_HOST_INTERRUPT_H_

// Ctrl-C at a terminal (SIGINT) while arkiva waits on tar or xz. Caught, it
// only raises a flag: arkiva stops tar itself and removes what the run made.
// Windows: Ctrl-C, Ctrl-Break or closing the console that xz shows, which
// arkiva owns; while tar runs, the progress dialog's Cancel is the way.

// From now on an interrupt sets the flag instead of ending the process. An
// interrupt that was ignored when arkiva started stays ignored.
void CatchInterrupt();

// Whether an interrupt has come since CatchInterrupt.
bool Interrupted();

// After the clean-up: ends the process by the interrupt it caught, as the
// shell that started it expects; returns when none came.
void PassOnInterrupt();

#endif  // ARKIVA_HOST_INTERRUPT_H_
