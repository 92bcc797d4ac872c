// The file reader's life: it ends with its program, also when the program dies while libmdb
// loops on a damaged file or before the reader could ask for its death signal; its path is found
// once, so a folder renamed under a running program leaves later opens working; and a reader
// that was killed, stopped or ran out of memory is reported as that, not as a damaged file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/db/database.h"
#include "tests/support/db_contract.h"
#include "tests/support/fixtures.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testsupport::DbErrorNumber;
using Clock = std::chrono::steady_clock;

// The state letter of a process ('Z' a zombie), or 0 when it is gone.
char StateOf(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat)) return 0;
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : 0;
}

bool Ended(pid_t pid) {
    const char state = StateOf(pid);
    return state == 0 || state == 'Z';
}

// Waits up to `limit` for `done`.
template <typename F>
bool Within(std::chrono::milliseconds limit, F done) {
    for (const Clock::time_point end = Clock::now() + limit; Clock::now() < end;) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

// The bns_reader whose parent is `parent`, 0 when there is none.
pid_t ReaderOf(pid_t parent) {
    for (const auto& e : fs::directory_iterator("/proc")) {
        const pid_t pid = pid_t(std::atoi(e.path().filename().c_str()));
        if (pid <= 0) continue;
        std::ifstream in(e.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat)) continue;
        const size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size()) continue;
        if (stat.substr(open + 1, close - open - 1) == "bns_reader" && std::atoi(stat.c_str() + close + 4) == parent)
            return pid;
    }
    return 0;
}

// A program started with its standard input and output on pipes, killed when let go.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv = {}) {
        int in[2], out[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        std::vector<std::string> args = argv, env = extraEnv;
        for (char** e = environ; *e; ++e) env.push_back(*e);
        std::vector<char*> a, v;
        for (std::string& s : args) a.push_back(s.data());
        for (std::string& s : env) v.push_back(s.data());
        a.push_back(nullptr);
        v.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, args[0].c_str(), &actions, nullptr, a.data(), v.data()), 0) << args[0];
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        to_ = in[1];
        from_ = out[0];
    }
    ~Process() {
        if (to_ >= 0) ::close(to_);
        ::close(from_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
    }
    pid_t pid() const { return pid_; }
    void CloseInput() {
        ::close(to_);
        to_ = -1;
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
        return status;
    }
    void Send(const std::string& command) {
        const std::string line = command + "\n";
        EXPECT_EQ(::write(to_, line.data(), line.size()), ssize_t(line.size()));
    }
    // Sends one command line and returns the answer's line ("" when none came in 30 s).
    std::string Ask(const std::string& command) {
        Send(command);
        std::string answer;
        char c;
        pollfd p{from_, POLLIN, 0};
        while (::poll(&p, 1, 30000) > 0 && ::read(from_, &c, 1) == 1 && c != '\n') answer += c;
        return answer;
    }

private:
    pid_t pid_ = 0;
    int to_ = -1, from_ = -1;
};

// A program killed while its reader loops in libmdb on a damaged catalog: the reader ends with
// it at once, instead of spinning on with no one to answer.
TEST(ReaderLifetime, ReaderEndsWhenItsProgramIsKilledInTheMiddleOfARead) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    Process host({BNS_READER_HOST});
    host.Send("open " + fixtures + "access/hostile/damaged-catalog.mdb");
    pid_t reader = 0;
    // The layer waits 4 s for a quiet reader: it is found well before that.
    ASSERT_TRUE(Within(std::chrono::milliseconds(3000), [&] { return (reader = ReaderOf(host.pid())) != 0; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // deep in libmdb's loop by now
    ::kill(host.pid(), SIGKILL);
    host.Wait();
    EXPECT_TRUE(Within(std::chrono::milliseconds(1500), [&] { return Ended(reader); }))
        << "reader " << reader << " still running, state " << StateOf(reader);
    if (!Ended(reader)) ::kill(reader, SIGKILL);
}

// A reader whose program died before it asked for its death signal has another parent by then:
// it ends at once rather than wait for a request. Started by its own program, it serves on.
TEST(ReaderLifetime, ReaderWhoseProgramDiedBeforeItStartedEnds) {
    Process orphan({BNS_READER, "serve", std::to_string(::getppid())});  // a parent it does not have
    EXPECT_TRUE(Within(std::chrono::milliseconds(1000), [&] { return StateOf(orphan.pid()) == 'Z'; }));
    ::kill(orphan.pid(), SIGKILL);  // one that did not end waits on its input
    const int orphaned = orphan.Wait();
    EXPECT_TRUE(WIFEXITED(orphaned) && WEXITSTATUS(orphaned) != 0) << orphaned;

    Process served({BNS_READER, "serve", std::to_string(::getpid())});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_NE(StateOf(served.pid()), 'Z');
    served.CloseInput();  // the program's end of the stream closes: it ends
    const int status = served.Wait();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The program and its library in an installed layout (bin/ and lib/, the reader beside the
// library). The lib folder renamed while the reader runs: opens go on through the running
// reader. Once that reader has crashed, a new one is looked for again, found beside the program
// when one is put there.
TEST(ReaderLifetime, ReaderPathIsFoundOnceAndAgainWhenItIsGone) {
    BNS_USE_SHARED_FIXTURES(fixtures);
    const std::string file = fixtures + "access/queryTestV2003.mdb";
    testsupport::TempDir dir;
    const fs::path bin = fs::path(dir.path()) / "bin", lib = fs::path(dir.path()) / "lib";
    fs::create_directories(bin);
    fs::create_directories(lib);
    fs::copy_file(BNS_READER_HOST, bin / "reader_host");
    fs::copy_file(BNS_PLATFORM_LIBRARY, lib / "libbnsplatform.so");
    fs::copy_file(BNS_READER, lib / "bns_reader");
    ::unsetenv("BNSUITE_READER");
    Process host({(bin / "reader_host").string()}, {"LD_LIBRARY_PATH=" + lib.string()});
    ASSERT_EQ(host.Ask("library"), (lib / "libbnsplatform.so").string());
    EXPECT_EQ(host.Ask("open " + file), "ok 3");

    fs::rename(lib, fs::path(dir.path()) / "lib.old");
    EXPECT_EQ(host.Ask("open " + file), "ok 3");  // the running reader serves on
    EXPECT_EQ(host.Ask("kill-reader").substr(0, 3), "ok ");
    EXPECT_EQ(host.Ask("open " + file).substr(0, 11), "error 3170 ");  // none is there now
    fs::copy_file(BNS_READER, bin / "bns_reader");
    EXPECT_EQ(host.Ask("open " + file), "ok 3");
}

// What ended the reader, a script standing in for it: a crash is the file's (3049, which offers
// a repair); a kill or a stop from outside (3059) and running out of memory (3035) are not, and
// say to try again.
TEST(ReaderLifetime, ReaderKilledStoppedOrOutOfMemoryIsNotADamagedFile) {
    testsupport::TempDir dir;
    const std::string file = dir.path() + "/file.mdb";
    testsupport::WriteFile(file, std::string("\0\1\0\0Standard Jet DB\0", 20) + std::string(2048, '\0'));
    struct Case {
        const char* script;
        int number;
        const char* says;
    };
    const Case cases[] = {
        {"kill -SEGV $$", 3049, "may be corrupt"},
        {"kill -KILL $$", 3059, "was killed by signal 9"},
        {"kill -TERM $$", 3059, "was killed by signal 15"},
        {"exit 4", 3035, "ran out of memory"},
        {"kill -STOP $$", 3059, "was stopped"},  // seen when the reader's 4 s of quiet are over
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string script = dir.path() + "/reader" + std::to_string(n++);
        testsupport::WriteFile(script, std::string("#!/bin/sh\n") + c.script + "\n");
        fs::permissions(script, fs::perms::owner_all);
        ::setenv("BNSUITE_READER", script.c_str(), 1);
        std::string text;
        EXPECT_EQ(DbErrorNumber([&] { db::DBEngine::OpenDatabase(file, false, true, ""); }, &text), c.number)
            << c.script << ": " << text;
        EXPECT_NE(text.find(c.says), std::string::npos) << c.script << ": " << text;
        EXPECT_NE(text.find("'" + file + "'"), std::string::npos) << c.script << ": " << text;
    }
    ::unsetenv("BNSUITE_READER");
}

}  // namespace
