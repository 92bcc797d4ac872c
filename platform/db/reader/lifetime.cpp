// The death signal asked of the kernel, the parent's pid checked after it, and glib's fatal
// "failed to allocate" turned into the reader's out-of-memory status.
#include "platform/db/reader/lifetime.h"

#include <glib.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/db/reader_frames.h"

namespace reader {

void EndWithParent(const char* parentPid) {
    // SIGKILL, not a signal that could be caught or ignored: the reader may be deep in libmdb.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (!parentPid || !*parentPid) return;
    char* end = nullptr;
    const long parent = std::strtol(parentPid, &end, 10);
    // A parent that died before prctl ran sent no signal: this process already has another parent.
    if (*end == '\0' && parent > 0 && ::getppid() != pid_t(parent)) std::_Exit(1);
}

namespace {

void OnFatal(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if (message && std::strstr(message, "failed to allocate")) std::_Exit(db::frames::kOutOfMemoryStatus);
    g_log_default_handler(domain, level, message, nullptr);  // glib aborts after it
}

}  // namespace

void ExitWhenOutOfMemory() {
    g_log_set_handler("GLib", GLogLevelFlags(G_LOG_LEVEL_ERROR | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION), OnFatal,
                      nullptr);
}

}  // namespace reader
