// output_file.h - writing an output file so that it appears complete or not at all.
//
// A file the user names is first written under a fresh temporary name in the same directory
// (".NAME.PID-N.tmp") and renamed over NAME only when it is complete, so a render that fails or
// is interrupted never leaves a half-written PNG or GIF where the user asked for one. Staging a
// file installs handlers for SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXCPU, SIGXFSZ, SIGALRM, SIGUSR1,
// SIGUSR2, SIGPIPE, SIGVTALRM and SIGPROF (each unless ignored) that remove the temporary files
// still being written and then let the signal end the process. A name that
// exists and is not a regular file (a device, a pipe: /dev/stdout, say) cannot be replaced by a
// rename and is written directly.
//
// Ownership: plain strings. Failure: stage_file and commit_file return false with a one-line
// reason naming the user's file (quoted as loader/quoted.h does); removal failures are ignored (the
// caller is already reporting the error that matters). Only regular files are ever removed.
#pragma once

#include <signal.h>

#include <string>

// While one lives, the signals above are held back on the calling thread (and run their handler
// when it ends). stage_file uses one so that no signal falls between creating a temporary file and
// noting it for removal. Threads started while one lives keep those signals blocked for good, so
// the signals always reach the thread that stages files: start worker threads under one.
class CleanupSignalsHeld {
  public:
    CleanupSignalsHeld();
    ~CleanupSignalsHeld();
    CleanupSignalsHeld(const CleanupSignalsHeld&) = delete;
    CleanupSignalsHeld& operator=(const CleanupSignalsHeld&) = delete;

  private:
    sigset_t previous_;
};

// From now on, signal_number (one of the signals above, SIGXCPU for a processor-time limit, say)
// no longer kills the process: it removes the temporary files, writes line (kept, not copied;
// it should end in a newline) to standard error and exits with status 1, so a caller that set a
// limit sees an ordinary failure. line must live until the process ends.
void exit_on_signal(int signal_number, const char* line);

void remove_partial_file(const std::string& path);

struct StagedFile {
    std::string target; // the name the user asked for
    std::string path;   // where to write: the temporary file, or target itself
};

// Creates the temporary file (empty) beside target and fills staged.
bool stage_file(const std::string& target, StagedFile& staged, std::string& error);

// Renames the finished temporary file to its target.
bool commit_file(const StagedFile& staged, std::string& error);

// Removes the temporary file after a failure (never the target).
void discard_file(const StagedFile& staged);

// A writer's message about staged.path, told in terms of the user's file name.
std::string about_target(const StagedFile& staged, const std::string& message);
