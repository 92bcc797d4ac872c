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
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/database.h"
#include "platform/db/reader_frames.h"

namespace db::reader {

// The reader gave no complete answer: it stopped (crashed or exited) before its end frame, went
// quiet, ran too long or answered what no file of that size holds. what() says which, in words
// that finish "the file may be corrupt (...)".
class Stopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

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
// beside the running program; "" when none is there.
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
// and reaped, and the next request starts a new one.
void Run(const std::vector<std::string>& args, const Limits& limits, const FrameHandler& onFrame);

}  // namespace db::reader
