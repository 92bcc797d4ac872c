// The reader's life tied to its program's: it ends when the program that started it ends, even
// in the middle of a read (libmdb's long loops on a damaged file never look at standard input),
// and it tells the program by its exit status that it ran out of memory.
#pragma once

namespace reader {

// Asks the kernel to kill this process when its parent ends, and ends at once when the parent
// (whose pid the program passed, "" when it passed none) has ended already, before the request
// could be made: the reader is then the child of another process.
void EndWithParent(const char* parentPid);

// Makes an allocation that fails inside libmdb (glib ends the process on it) end the reader
// with frames::kOutOfMemoryStatus, as std::bad_alloc does in main.
void ExitWhenOutOfMemory();

}  // namespace reader
