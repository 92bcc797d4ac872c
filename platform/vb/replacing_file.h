// A file that replaces its target only when it is complete. The text goes to a new file beside
// the target (in the same folder, so the final rename is atomic), which Commit renames over the
// target; a cancel, a failed write or a full disk leaves the user's old file as it was and no
// temporary file behind.
//
//     vb::ReplacingFile file(target);        // 75 / 76 when no file can be made beside it
//     vb::TextWriter out(file.path());
//     ... out.Close();                       // 57 when a write failed: the target is untouched
//     file.Commit();
#pragma once

#include <string>

namespace vb {

class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& target);
    ~ReplacingFile();  // removes the temporary file unless it was committed
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // The temporary file to write.
    const std::string& path() const { return temp_; }
    // The file that Commit replaces (a link's own file, so the link stays).
    const std::string& target() const { return target_; }

    // Renames the written temporary file over the target, keeping the target's permissions;
    // the file is synced before the rename and its folder after it.
    void Commit();

private:
    std::string target_, temp_;
};

}  // namespace vb
