// The private class registry of a test: a temporary XDG_CONFIG_HOME and a loaded library.
#include "tests/support/class_registry.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <stdexcept>
#include <string>
#include <system_error>

#include "platform/com/object.h"

namespace testsupport {

PrivateClassRegistry::PrivateClassRegistry(const char* libraryPath) {
    char tmpl[] = "/tmp/class_registry_XXXXXX";
    if (!mkdtemp(tmpl)) throw std::runtime_error("cannot make a temporary folder");
    dir_ = tmpl;
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
    library_ = dlopen(libraryPath, RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        std::string why = dlerror();
        unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
        throw std::runtime_error(why);
    }
}

PrivateClassRegistry::~PrivateClassRegistry() {
    dlclose(library_);
    unsetenv("XDG_CONFIG_HOME");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

int32_t PrivateClassRegistry::Call(const char* entry) const {
    auto fn = reinterpret_cast<com::DllEntryFn>(dlsym(library_, entry));
    return fn ? fn() : -1;
}

}  // namespace testsupport
