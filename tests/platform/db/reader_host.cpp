// A small program that opens Access files through the database layer on the commands of its
// standard input, one line each, for the tests of the file reader's life (its program killed
// while it reads, its folder renamed under it). Each command is answered with one line:
//   open FILE     "ok N" (the number of tables listed) or "error NUMBER TEXT"
//   kill-reader   ends this program's reader with SIGKILL, as a crash would: "ok PID", once it
//                 has ended, or "error no reader"
//   library       the path the platform library was loaded from
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "platform/db/database.h"

namespace {

// The child of this process named bns_reader, 0 when there is none.
pid_t ReaderChild() {
    DIR* proc = ::opendir("/proc");
    if (!proc) return 0;
    pid_t found = 0;
    while (const dirent* e = ::readdir(proc)) {
        const pid_t pid = pid_t(std::atoi(e->d_name));
        if (pid <= 0) continue;
        std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
        std::string stat;
        std::getline(in, stat);
        const size_t open = stat.find('('), close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 4 > stat.size()) continue;
        const std::string name = stat.substr(open + 1, close - open - 1);
        const char state = stat[close + 2];
        const pid_t parent = pid_t(std::atoi(stat.c_str() + close + 4));
        if (parent == ::getpid() && name == "bns_reader" && state != 'Z') found = pid;
    }
    ::closedir(proc);
    return found;
}

std::string KillReader() {
    const pid_t pid = ReaderChild();
    if (pid == 0) return "error no reader";
    ::kill(pid, SIGKILL);
    // The layer reaps it; here it is enough that it has ended.
    for (int i = 0; i < 400 && ReaderChild() == pid; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return "ok " + std::to_string(pid);
}

std::string Open(const std::string& file) {
    try {
        auto db = db::DBEngine::OpenDatabase(file, false, true, "");
        return "ok " + std::to_string(db->TableDefNames().size());
    } catch (const db::Error& e) {
        return "error " + std::to_string(e.number()) + " " + e.description();
    }
}

}  // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line.rfind("open ", 0) == 0) {
            std::cout << Open(line.substr(5)) << std::endl;
        } else if (line == "kill-reader") {
            std::cout << KillReader() << std::endl;
        } else if (line == "library") {
            std::ifstream maps("/proc/self/maps");
            std::string mapped, path;
            while (std::getline(maps, mapped))
                if (mapped.find("/libbnsplatform.so") != std::string::npos) path = mapped.substr(mapped.find('/'));
            std::cout << path << std::endl;
        } else {
            std::cout << "error unknown command" << std::endl;
        }
    }
    return 0;
}
