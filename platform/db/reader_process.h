// The file reader process: libraries of other projects that parse outside files (libmdb for
// Access files) run in the program bns_reader, not in ours, because a damaged file can make
// them loop without end or crash. One reader, started on first use, answers the requests of
// the program one after another; its frames (reader_frames.h) are taken as they come, and a
// reader that goes quiet or runs too long is stopped and replaced, so that no open waits on a
// damaged file without bound. Internal to the layer.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/database.h"
#include "platform/db/reader_frames.h"

namespace db::reader {

// The reader gave no complete answer. Its cause says whose fault that is:
//   File         it crashed (a fault inside libmdb), exited, went quiet, ran too long or
//                answered what no file of that size holds: what() says which, in words that
//                finish "the file may be corrupt (...)"
//   Killed       a signal that neither the file nor this layer sent ended it ("was killed by
//                signal 15 (Terminated)")
//   Paused       it was stopped (SIGSTOP, a debugger) and so went quiet ("was stopped ...")
//   OutOfMemory  memory ran out: it exited on a failed allocation, or the kernel's
//                out-of-memory killer ended it ("ran out of memory")
class Stopped : public std::runtime_error {
public:
    enum class Cause { File, Killed, Paused, OutOfMemory };
    explicit Stopped(const std::string& what, Cause cause = Cause::File) : std::runtime_error(what), cause_(cause) {}
    Cause cause() const { return cause_; }

private:
    Cause cause_;
};

// The error for a reader that stopped through no fault of `file`: 3035 "System resource
// exceeded" when memory ran out, 3059 "Operation canceled" when it was killed or stopped from
// outside, each naming the file and saying to try again. Nothing for Cause::File, where the
// caller gives its own damaged-file error (3049, which offers a repair).
std::optional<Error> NotTheFile(const Stopped& stopped, const std::string& file);

struct Limits {
    std::chrono::milliseconds quiet;  // the longest wait for the next bytes
    std::chrono::milliseconds total;  // the longest run
    uint64_t maxBytes;                // the longest answer
};

// The limits for a request on a file of `fileSize` bytes. A healthy reader sends its first
// bytes within milliseconds and then streams without pause, so `quiet` is the bound that
// matters on a damaged file; the run and the answer may grow with the file.
Limits LimitsFor(uint64_t fileSize);

// The reader program: $BNSUITE_READER when set, else bns_reader beside this library, else
// beside the running program; "" when none is there. The installed one is looked for once and
// kept while it is there, so that a folder renamed under a running program leaves its reader
// in use; a new reader is started from the path found first, looked for again when it is gone.
std::string ReaderPath();

// What a failure frame says: the Failure kind and the text saying what could not be read.
struct Refusal {
    frames::Failure kind;
    std::string what;
};
Refusal ReadRefusal(std::string_view payload);

// The next cell of a row frame as a value; std::out_of_range for a kind no reader writes.
Value ReadCell(frames::Cursor& c);

using FrameHandler = std::function<void(frames::Tag tag, std::string_view payload)>;

// Asks the reader for `args` and hands every frame of its answer before the end frame to
// `onFrame`, in order, as they arrive (a failure frame is the answer's last). The reader's
// standard error is discarded. Throws Stopped as above (a frame `onFrame` cannot parse,
// std::out_of_range, counts as a garbled answer), db::Error 3170 when there is no reader
// program, and whatever `onFrame` throws. A reader stopped in the middle of an answer is ended
// and reaped, and the next request starts a new one; so does a reader that ended between two
// requests. The reader is started with this process's pid and ends when it ends (when the
// thread that started it ends, the reader does too: the next request then starts another).
void Run(const std::vector<std::string>& args, const Limits& limits, const FrameHandler& onFrame);

}  // namespace db::reader
