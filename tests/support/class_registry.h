// A private class registry for one test: while it lives, XDG_CONFIG_HOME points into a fresh
// temporary folder (so registrations never touch the user's real registry) and the object
// library at `libraryPath` is loaded so that its C entry points can be called:
//
//     testsupport::PrivateClassRegistry reg(ZORVAPI_LIBRARY);
//     ASSERT_EQ(reg.Call("DllRegisterServer"), com::S_OK);
//     auto engine = com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
#pragma once

#include <cstdint>
#include <filesystem>

namespace testsupport {

class PrivateClassRegistry {
public:
    // Throws std::runtime_error with dlerror()'s text when the library does not load.
    explicit PrivateClassRegistry(const char* libraryPath);
    ~PrivateClassRegistry();
    PrivateClassRegistry(const PrivateClassRegistry&) = delete;
    PrivateClassRegistry& operator=(const PrivateClassRegistry&) = delete;

    // Calls one of the library's argument-less entry points (DllCanUnloadNow,
    // DllRegisterServer, DllUnregisterServer); -1 when the library does not export it.
    int32_t Call(const char* entry) const;
    // The temporary folder (XDG_CONFIG_HOME is its "config" sub-folder).
    const std::filesystem::path& dir() const { return dir_; }

private:
    std::filesystem::path dir_;
    void* library_ = nullptr;
};

}  // namespace testsupport
