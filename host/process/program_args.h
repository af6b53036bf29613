#ifndef ARKIVA_HOST_PROCESS_PROGRAM_ARGS_H_
#define ARKIVA_HOST_PROCESS_PROGRAM_ARGS_H_

#include <string>
#include <vector>

// Splits a command line into tokens by arkiva's own rules: only the blank
// separates, a double quote groups only at the start of a token (and a
// closing quote ends the token even with no blank after it), and a
// backslash is an ordinary character. The first token is the program's name.
std::vector<std::string> SplitCommandLine(const char* line);

// Remembers the arguments the platform handed to main(). Windows ignores
// them and reads GetCommandLineA instead; POSIX hands out argv[1..].
void InitProgramArguments(int argc, char** argv);

// The next argument after the program's name, or "" once none is left.
// Each argument returned advances a process-wide counter.
std::string ProgramArgument();

// When the next argument is exactly `text`, hands it out and returns true.
bool SkipArgument(const std::string& text);

// The items a caller hands on standard input instead of the command line,
// which holds only so many: each ended by a zero byte (a last one without
// it counts too), in their order; empty ones are skipped.
std::vector<std::string> InputItems();

// How many arguments ProgramArgument has still to hand out.
int ProgramArgumentCount();

// The full path of this program's own executable.
std::string OwnProgramPath();

// The folder of the program at `program_path`, without its last separator
// ("C:\Program Files\arkiva", "/usr/bin"); "" for a bare name.
std::string ProgramFolder(const std::string& program_path);

// The folder of this program's own executable: where its tar.exe and xz.exe
// (Windows) and its progress window (Linux) are; "" when its path cannot
// be had.
std::string OwnProgramFolder();

#endif  // ARKIVA_HOST_PROCESS_PROGRAM_ARGS_H_
