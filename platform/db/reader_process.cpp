// Starting the reader with posix_spawn (safe in a program with threads, unlike work done in a
// fork()ed copy of it), one request after another over a socket pair, the frames of each
// answer read under the time limits, a reader that failed replaced by a new one, and what
// ended a reader told apart: the file's fault, or the reader's own fate.
#include "platform/db/reader_process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/db/database.h"

extern char** environ;

namespace db::reader {
namespace {

constexpr const char* kProgram = "bns_reader";

// Jet's "Operation canceled by user.": the reader was stopped or killed from outside.
constexpr int32_t kCanceled = 3059;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool Executable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

// The processes the kernel's out-of-memory killer has ended so far, on the whole machine: a
// reader ended by SIGKILL while the count went up is taken to have been one of them.
uint64_t OomKills() {
    std::ifstream in("/proc/vmstat");
    std::string key;
    uint64_t n = 0;
    while (in >> key >> n)
        if (key == "oom_kill") return n;
    return 0;
}

// The state letter of /proc/<pid>/stat: 'T' (or 't', traced) for a stopped process.
char StateOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const size_t name = stat.rfind(')');  // the program's name may hold blanks and ')'
    return name != std::string::npos && name + 2 < stat.size() ? stat[name + 2] : '?';
}

// The signals of a crash inside the reader: libmdb read past its buffers or gave up on what it
// read (abort). The file made it do so.
bool IsCrash(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGABRT || signal == SIGFPE || signal == SIGILL ||
           signal == SIGTRAP || signal == SIGSYS;
}

// The reader while it runs: its end of the socket pair, which is its standard input and
// output, and its process, ended and reaped when it is let go.
class Child {
public:
    // `named`: the program $BNSUITE_READER names, not the installed one.
    Child(const std::string& program, bool named) : program_(program), named_(named) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            throw Error(3035, fmt::format("System resource exceeded: no socket for the file reader ({}).", std::strerror(errno)));
        fd_ = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        // libmdb writes a warning for every cell it cannot convert, millions on a damaged file.
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        // It lives as long as the program: it must not keep open any other file or pipe of it.
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        // The reader starts with no signal blocked and SIGPIPE at its default, whatever this
        // program has set for itself: it ends when this program no longer listens.
        sigset_t none, pipe;
        sigemptyset(&none);
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &pipe);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        // It ends with this process: it is told this process's pid to check that it is still the
        // parent once it has asked for the death signal.
        std::string name = program, mode = "serve", parent = std::to_string(::getpid());
        char* argv[] = {name.data(), mode.data(), parent.data(), nullptr};
        const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, &attr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        ::close(fds[1]);
        if (rc != 0) {
            pid_ = 0;
            ::close(fd_);
            fd_ = -1;
            throw Error(errnum::kNoInstallableIsam,
                        fmt::format("Could not find installable ISAM. The file reader '{}' cannot be started ({}).",
                                    program, std::strerror(rc)));
        }
    }
    ~Child() {
        if (fd_ >= 0) ::close(fd_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Reap();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    int fd() const { return fd_; }
    const std::string& program() const { return program_; }
    bool named() const { return named_; }

    // False once the reader has ended (it is then reaped): between two requests nothing of the
    // file runs in it, so a new one may take its place.
    bool Alive() {
        if (pid_ <= 0) return false;
        int status = 0;
        pid_t r;
        while ((r = ::waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
        }
        if (r == 0) return true;
        pid_ = 0;
        return false;
    }

    // Counts the out-of-memory kills from the start of a request on.
    void Started() { oomKills_ = OomKills(); }

    // What ended the reader, once it has closed its end of the socket.
    Stopped Ended() {
        if (pid_ <= 0) return Stopped("its reader had ended");
        // It is ending: its end of the socket closes as it exits. One that closed it and
        // lives on is ended here, and it is the file that left it so.
        int status = 0;
        pid_t r = 0;
        for (int waited = 0; waited < 200; ++waited) {
            while ((r = ::waitpid(pid_, &status, WNOHANG)) < 0 && errno == EINTR) {
            }
            if (r != 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (r == 0) {
            ::kill(pid_, SIGKILL);
            Reap();
            pid_ = 0;
            return Stopped("its reader stopped answering and was ended");
        }
        pid_ = 0;
        if (WIFEXITED(status) && WEXITSTATUS(status) == frames::kOutOfMemoryStatus)
            return Stopped("ran out of memory", Stopped::Cause::OutOfMemory);
        if (!WIFSIGNALED(status))
            return Stopped(fmt::format("its reader ended with status {} before it had read it", WEXITSTATUS(status)));
        const int sig = WTERMSIG(status);
        if (IsCrash(sig)) return Stopped(fmt::format("its reader stopped on signal {}, {}", sig, strsignal(sig)));
        if (sig == SIGKILL && OomKills() > oomKills_)
            return Stopped("ran out of memory (the system ended it, signal 9)", Stopped::Cause::OutOfMemory);
        return Stopped(fmt::format("was killed by signal {} ({})", sig, strsignal(sig)), Stopped::Cause::Killed);
    }

    // What to say of a reader that went quiet: a reader that was stopped sends nothing, and
    // that is not the file's fault.
    Stopped Quiet(const std::string& fileFault) {
        const char state = pid_ > 0 ? StateOf(pid_) : '?';
        if (state == 'T' || state == 't')
            return Stopped("was stopped (by SIGSTOP or a debugger) and gave no answer", Stopped::Cause::Paused);
        return Stopped(fileFault);
    }

private:
    int Reap() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    }

    std::string program_;
    bool named_ = false;
    pid_t pid_ = 0;
    int fd_ = -1;
    uint64_t oomKills_ = 0;
};

// Sends the request; false when the reader is gone.
bool Send(int fd, const std::vector<std::string>& args) {
    frames::Payload request;
    request.Put(uint32_t(args.size()));
    for (const std::string& a : args) request.PutText(a);
    std::string bytes;
    frames::AppendFrame(bytes, frames::kRequest, request.data());
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

// One request and its answer. `complete` is set once the reader has sent all of it, so that
// a failure the answer reports (or that `onFrame` raises on its last frame) keeps the reader.
void Exchange(Child& child, const std::vector<std::string>& args, const Limits& limits, const FrameHandler& onFrame,
              bool& complete) {
    child.Started();
    if (!Send(child.fd(), args)) throw child.Ended();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastBytes = start;
    std::string buffer;
    size_t parsed = 0;
    uint64_t received = 0;
    char chunk[65536];
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now - lastBytes >= limits.quiet)
            throw child.Quiet(fmt::format("its reader gave no answer for {} seconds", limits.quiet.count() / 1000.0));
        if (now - start >= limits.total)
            throw child.Quiet(fmt::format("its reader did not finish in {} seconds", limits.total.count() / 1000));
        const auto wait = std::min(lastBytes + limits.quiet, start + limits.total) - now;
        pollfd p{child.fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
        if (ready < 0 && errno != EINTR) throw Stopped(fmt::format("its reader cannot be heard ({})", std::strerror(errno)));
        if (ready <= 0) continue;
        const ssize_t n = ::read(child.fd(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            // A reader that ended without reading the whole request resets the connection.
            if (errno == ECONNRESET) throw child.Ended();
            throw Stopped(fmt::format("its reader cannot be heard ({})", std::strerror(errno)));
        }
        if (n == 0) throw child.Ended();
        received += uint64_t(n);
        if (received > limits.maxBytes) throw Stopped("its reader answered far more than the file holds");
        lastBytes = Clock::now();
        buffer.append(chunk, size_t(n));
        for (;;) {
            if (buffer.size() - parsed < 5) break;
            const auto tag = frames::Tag(buffer[parsed]);
            uint32_t length;
            std::memcpy(&length, buffer.data() + parsed + 1, sizeof length);
            if (length > frames::kMaxPayload) throw Stopped("its reader's answer cannot be read");
            if (buffer.size() - parsed - 5 < length) break;
            complete = tag == frames::kEnd || tag == frames::kFailed;
            if (complete && buffer.size() != parsed + 5 + length) {
                complete = false;
                throw Stopped("its reader's answer cannot be read");
            }
            if (tag == frames::kEnd) return;
            try {
                onFrame(tag, std::string_view(buffer).substr(parsed + 5, length));
            } catch (const std::out_of_range&) {
                complete = false;
                throw Stopped("its reader's answer cannot be read");
            }
            if (tag == frames::kFailed) return;
            parsed += 5 + length;
        }
        buffer.erase(0, parsed);
        parsed = 0;
    }
}

}  // namespace

Refusal ReadRefusal(std::string_view payload) {
    frames::Cursor c(payload);
    const auto kind = frames::Failure(c.Get<uint8_t>());
    return Refusal{kind, c.GetText()};
}

Value ReadCell(frames::Cursor& c) {
    switch (c.Get<uint8_t>()) {
        case frames::kNull: return Value();
        case frames::kBoolean: return Value(c.Get<uint8_t>() != 0);
        case frames::kInteger: return Value(c.Get<int16_t>());
        case frames::kLong: return Value(c.Get<int32_t>());
        case frames::kSingle: return Value(c.Get<float>());
        case frames::kDouble: return Value(c.Get<double>());
        case frames::kDate: return Value(Date{c.Get<double>()});  // days since 1899-12-30
        case frames::kText: return Value(c.GetText());
        default: throw std::out_of_range("unknown cell kind");
    }
}

Limits LimitsFor(uint64_t fileSize) {
    using std::chrono::milliseconds;
    const uint64_t megabytes = fileSize >> 20;
    // libmdb reads tens of megabytes a second; a second per megabyte leaves room for a busy machine.
    return Limits{milliseconds(4000), milliseconds(10000 + 1000 * int64_t(megabytes)),
                  // A row's frame costs a few bytes more than its cells in the file.
                  64 * fileSize + (16u << 20)};
}

std::optional<Error> NotTheFile(const Stopped& stopped, const std::string& file) {
    switch (stopped.cause()) {
        case Stopped::Cause::File: return std::nullopt;
        case Stopped::Cause::OutOfMemory:
            return Error(3035, fmt::format("System resource exceeded: the file reader {} while it read '{}'. Close "
                                           "other programs and try again.",
                                           stopped.what(), file));
        case Stopped::Cause::Killed:
        case Stopped::Cause::Paused: break;
    }
    return Error(kCanceled,
                 fmt::format("Operation canceled: the file reader {} while it read '{}'; try again.", stopped.what(), file));
}

namespace {

// bns_reader beside this library, else beside the running program; "" when neither has one.
std::string FindInstalledReader() {
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&FindInstalledReader), &self) && self.dli_fname) {
        const std::string beside = FolderOf(self.dli_fname) + kProgram;
        if (FolderOf(self.dli_fname).size() && Executable(beside)) return beside;
    }
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) {
        const std::string beside = FolderOf(std::string(exe, size_t(n))) + kProgram;
        if (Executable(beside)) return beside;
    }
    return "";
}

// The installed reader: the one found first while it is there, else looked for again.
std::string InstalledReader() {
    static std::mutex finding;
    static auto* found = new std::string;
    const std::lock_guard<std::mutex> lock(finding);
    if (!Executable(*found)) *found = FindInstalledReader();
    return *found;
}

const char* NamedReader() {
    const char* named = std::getenv("BNSUITE_READER");
    return named && *named ? named : nullptr;
}

}  // namespace

std::string ReaderPath() {
    if (const char* named = NamedReader()) return named;
    return InstalledReader();
}

void Run(const std::vector<std::string>& args, const Limits& limits, const FrameHandler& onFrame) {
    // One reader serves the whole program, one request at a time: starting a program costs
    // more than reading a catalog, so it is started on first use and kept. Never destroyed:
    // when the program ends, the reader sees its input end and ends too (and the kernel ends
    // it if the program dies in the middle of a read).
    static std::mutex serving;
    static auto* reader = new std::unique_ptr<Child>;
    const std::lock_guard<std::mutex> lock(serving);
    // A running reader is kept without looking at the file system: its folder may have been
    // renamed since it started.
    const char* named = NamedReader();
    const bool keep = *reader && (named ? (*reader)->named() && (*reader)->program() == named : !(*reader)->named()) &&
                      (*reader)->Alive();
    if (!keep) {
        reader->reset();
        const std::string program = named ? std::string(named) : InstalledReader();
        if (program.empty())
            throw Error(errnum::kNoInstallableIsam,
                        fmt::format("Could not find installable ISAM. The file reader '{}' is not installed beside "
                                    "the database library.",
                                    kProgram));
        *reader = std::make_unique<Child>(program, named != nullptr);
    }
    bool complete = false;
    try {
        Exchange(**reader, args, limits, onFrame, complete);
    } catch (...) {
        // A reader stopped in the middle of an answer is of no further use: the next request
        // starts a new one.
        if (!complete) reader->reset();
        throw;
    }
}

}  // namespace db::reader
