#include "tools/output_file.h"

#include "loader/quoted.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Attempts at a free temporary name before giving up: another process of ours would have to be
// writing the same file many times over at once to exhaust them.
constexpr int kNameAttempts = 100;

std::string temporary_name(const fs::path& target, int attempt) {
    return (target.parent_path() /
            ("." + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
             std::to_string(attempt) + ".tmp"))
        .string();
}

// The temporary files being written, so that a render stopped by Ctrl-C, a terminal closing or
// kill removes them on its way out instead of leaving ".NAME.PID-N.tmp" files behind. The
// handler may only use async-signal-safe calls: the names sit in fixed buffers, and a slot is
// published by its flag only after its name is complete.
constexpr size_t kPendingSlots = 4;
constexpr size_t kPendingNameBytes = 4096;
struct PendingFile {
    std::atomic<bool> active{false};
    char name[kPendingNameBytes];
};
std::array<PendingFile, kPendingSlots> g_pending;
// Every signal whose default action ends the process and that a user, a shell or a limit may
// send: the interactive ones, the resource limits (processor time, file size, timers) that a file
// manager or a batch system sets, and a closed pipe. The ones that only a fault raises (SIGSEGV
// and the like) are left alone: after such a fault, nothing is safe to do any more.
constexpr std::array<int, 12> kCleanedSignals = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT,
                                                 SIGXCPU, SIGXFSZ, SIGALRM,   SIGUSR1,
                                                 SIGUSR2, SIGPIPE, SIGVTALRM, SIGPROF};

// The line a signal given to exit_on_signal writes before the process exits with status 1;
// null for the signals that end the process themselves.
std::array<std::atomic<const char*>, NSIG> g_exit_lines{};

extern "C" void remove_pending_and_die(int signal_number) {
    for (PendingFile& pending : g_pending)
        if (pending.active.load()) ::unlink(pending.name);
    if (const char* line = g_exit_lines[size_t(signal_number)].load()) {
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, line, std::strlen(line));
        ::_exit(1);
    }
    // Die of the same signal, so the caller sees how the render ended.
    ::signal(signal_number, SIG_DFL);
    ::raise(signal_number);
}

// Installed on first use; a signal the process was told to ignore (nohup) stays ignored.
void install_handler(int signal_number) {
    struct sigaction action {};
    action.sa_handler = remove_pending_and_die;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal_number, &action, nullptr);
}

void install_cleanup_handlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    for (int signal_number : kCleanedSignals) {
        struct sigaction previous {};
        if (::sigaction(signal_number, nullptr, &previous) == 0 &&
            (previous.sa_handler != SIG_IGN || g_exit_lines[size_t(signal_number)].load()))
            install_handler(signal_number);
    }
}

// A name too long for a slot, or more files at once than slots, is simply not cleaned up.
void track_pending(const std::string& path) {
    if (path.size() >= kPendingNameBytes) return;
    for (PendingFile& pending : g_pending) {
        if (pending.active.load()) continue;
        std::memcpy(pending.name, path.c_str(), path.size() + 1);
        pending.active.store(true);
        return;
    }
}

void untrack_pending(const std::string& path) {
    for (PendingFile& pending : g_pending)
        if (pending.active.load() && path == pending.name) pending.active.store(false);
}

} // namespace

CleanupSignalsHeld::CleanupSignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal_number : kCleanedSignals)
        sigaddset(&held, signal_number);
    ::pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

CleanupSignalsHeld::~CleanupSignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

void exit_on_signal(int signal_number, const char* line) {
    if (signal_number <= 0 || signal_number >= NSIG) return;
    g_exit_lines[size_t(signal_number)].store(line);
    install_handler(signal_number); // even when ignored: the caller asked for this ending
    install_cleanup_handlers();
}

void remove_partial_file(const std::string& path) {
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(path, ec))) fs::remove(path, ec);
}

bool stage_file(const std::string& target, StagedFile& staged, std::string& error) {
    staged.target = target;
    staged.path = target;
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_directory(status)) {
        error = quoted_text(target) + ": is a directory";
        return false;
    }
    if (fs::exists(status) && !fs::is_regular_file(status)) return true;
    const fs::path name(target);
    if (name.filename().empty()) {
        error = quoted_text(target) + ": names no file";
        return false;
    }
    // The handlers are in place before the file exists, and signals wait until it is tracked: a
    // signal in between would leave it behind.
    install_cleanup_handlers();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = temporary_name(name, attempt);
        const CleanupSignalsHeld held;
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            track_pending(candidate);
            ::close(fd);
            staged.path = candidate;
            return true;
        }
        if (errno != EEXIST) {
            error = quoted_text(target) + ": cannot create: " + std::strerror(errno);
            return false;
        }
    }
    error = quoted_text(target) + ": cannot create a temporary file beside it";
    return false;
}

bool commit_file(const StagedFile& staged, std::string& error) {
    if (staged.path == staged.target) return true;
    if (std::rename(staged.path.c_str(), staged.target.c_str()) != 0) {
        error = quoted_text(staged.target) + ": cannot replace: " + std::strerror(errno);
        discard_file(staged);
        return false;
    }
    untrack_pending(staged.path);
    return true;
}

void discard_file(const StagedFile& staged) {
    if (staged.path == staged.target) return;
    // Removed before it is untracked: a signal in between then unlinks a name already gone,
    // where the other order would leave the file.
    remove_partial_file(staged.path);
    untrack_pending(staged.path);
}

std::string about_target(const StagedFile& staged, const std::string& message) {
    // The writers name their file in quotes; a bare name is taken too.
    for (const std::string& written : {quoted_text(staged.path), staged.path})
        if (message.rfind(written, 0) == 0)
            return quoted_text(staged.target) + message.substr(written.size());
    return message;
}
