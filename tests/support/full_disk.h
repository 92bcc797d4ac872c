// A folder on a disk that can be made full, for the tests of writes that fail part-way. Where
// this process may mount file systems, the folder is a small tmpfs of its own and Fill() takes
// its last free byte; elsewhere Fill() sets the process's file-size limit to 0, so that any
// write that would add a byte to a file fails as a full disk's does (SIGXFSZ ignored, the write
// fails with EFBIG). Free() and the destructor undo it.
//
//     testsupport::FullDisk disk;
//     testsupport::WriteFile(disk.Path("model.bnc"), "the user's classifier");
//     disk.Fill();
//     ... a write into disk.path() fails; the earlier file must be intact ...
#pragma once

#include <string>
#include <vector>

#include "tests/support/db_contract.h"

namespace testsupport {

class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    const std::string& path() const { return dir_.path(); }
    std::string Path(const std::string& file) const { return dir_.Path(file); }
    // The names of the files in the folder, sorted (the filler of a full tmpfs left out).
    std::vector<std::string> Files() const;

    void Fill();
    void Free();
    // Whether the folder is a tmpfs of its own (else the file-size limit stands in).
    bool tmpfs() const { return mounted_; }

private:
    TempDir dir_;
    bool mounted_ = false;
    bool limited_ = false;
    unsigned long long oldLimit_ = 0;
};

}  // namespace testsupport
