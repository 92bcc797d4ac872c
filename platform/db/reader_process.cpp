// Starting the reader with posix_spawn (safe in a program with threads, unlike work done in a
// fork()ed copy of it), one request after another over a socket pair, the frames of each
// answer read under the time limits, and a reader that failed replaced by a new one.
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
#include <memory>
#include <mutex>

#include "platform/db/database.h"

extern char** environ;

namespace db::reader {
namespace {

constexpr const char* kProgram = "bns_reader";

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool Executable(const std::string& path) { return !path.empty() && ::access(path.c_str(), X_OK) == 0; }

// The reader while it runs: its end of the socket pair, which is its standard input and
// output, and its process, ended and reaped when it is let go.
class Child {
public:
    explicit Child(const std::string& program) : program_(program) {
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

        std::string name = program, mode = "serve";
        char* argv[] = {name.data(), mode.data(), nullptr};
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

    // How the reader ended, once it has closed its end of the socket.
    std::string HowItEnded() {
        if (pid_ <= 0) return "its reader had ended";
        // It is ending; a reader that closed its end and lives on is ended here.
        ::kill(pid_, SIGKILL);
        const int status = Reap();
        pid_ = 0;
        if (WIFSIGNALED(status))
            return fmt::format("its reader stopped on signal {}, {}", WTERMSIG(status), strsignal(WTERMSIG(status)));
        return fmt::format("its reader ended with status {} before it had read it", WEXITSTATUS(status));
    }

private:
    int Reap() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    }

    std::string program_;
    pid_t pid_ = 0;
    int fd_ = -1;
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
    if (!Send(child.fd(), args)) throw Stopped(child.HowItEnded());
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
            throw Stopped(fmt::format("its reader gave no answer for {} seconds", limits.quiet.count() / 1000.0));
        if (now - start >= limits.total)
            throw Stopped(fmt::format("its reader did not finish in {} seconds", limits.total.count() / 1000));
        const auto wait = std::min(lastBytes + limits.quiet, start + limits.total) - now;
        pollfd p{child.fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::chrono::ceil<std::chrono::milliseconds>(wait).count()));
        if (ready < 0 && errno != EINTR) throw Stopped(fmt::format("its reader cannot be heard ({})", std::strerror(errno)));
        if (ready <= 0) continue;
        const ssize_t n = ::read(child.fd(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            // A reader that ended without reading the whole request resets the connection.
            if (errno == ECONNRESET) throw Stopped(child.HowItEnded());
            throw Stopped(fmt::format("its reader cannot be heard ({})", std::strerror(errno)));
        }
        if (n == 0) throw Stopped(child.HowItEnded());
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

std::string ReaderPath() {
    if (const char* named = std::getenv("BNSUITE_READER"); named && *named) return named;
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&ReaderPath), &self) && self.dli_fname) {
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

void Run(const std::vector<std::string>& args, const Limits& limits, const FrameHandler& onFrame) {
    // One reader serves the whole program, one request at a time: starting a program costs
    // more than reading a catalog, so it is started on first use and kept. Never destroyed:
    // when the program ends, the reader sees its input end and ends too.
    static std::mutex serving;
    static auto* reader = new std::unique_ptr<Child>;
    const std::lock_guard<std::mutex> lock(serving);
    const std::string program = ReaderPath();
    if (program.empty())
        throw Error(errnum::kNoInstallableIsam,
                    fmt::format("Could not find installable ISAM. The file reader '{}' is not installed beside the "
                                "database library.",
                                kProgram));
    if (!*reader || (*reader)->program() != program) {
        reader->reset();
        *reader = std::make_unique<Child>(program);
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
