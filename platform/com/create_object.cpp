// com::CreateObject: class name -> library -> class factory -> object. The library is found in
// the class registry or, failing that, next to the running program ("ZORVAPI.DataEngine" ->
// libzorvapi.so); it is loaded with dlopen and stays loaded until the last object it made is
// released, because the object's deleter holds the library handle.
#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/com/object.h"
#include "platform/com/registry.h"

namespace com {

namespace {

[[noreturn]] void CannotCreate(const std::string& className) {
    throw Error(kCannotCreateObject, className, kCannotCreateObjectText);
}

// "PREFIX.Class" -> <folder of the running program>/libprefix.so
std::optional<std::string> LibraryNextToProgram(const std::string& className) {
    size_t dot = className.find('.');
    if (dot == 0 || dot == std::string::npos) return std::nullopt;
    std::string stem = className.substr(0, dot);
    for (char& c : stem)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    std::filesystem::path lib = exe.parent_path() / ("lib" + stem + ".so");
    if (!std::filesystem::exists(lib, ec)) return std::nullopt;
    return lib.string();
}

}  // namespace

std::shared_ptr<Object> CreateObject(const std::string& className) {
    std::optional<std::string> path = RegisteredLibrary(className);
    if (!path) path = LibraryNextToProgram(className);
    if (!path) CannotCreate(className);

    void* raw = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!raw) CannotCreate(className);
    std::shared_ptr<void> library(raw, [](void* h) { dlclose(h); });

    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(raw, "DllGetClassObject"));
    if (!getClassObject) CannotCreate(className);
    ClassFactory* factory = nullptr;
    if (getClassObject(className.c_str(), &factory) != S_OK || !factory) CannotCreate(className);

    // Nothing thrown by the library may escape: its type information would be unloaded with
    // the handle as the exception leaves this function.
    Object* obj = nullptr;
    try {
        obj = factory->CreateInstance();
    } catch (...) {
    }
    if (!obj) CannotCreate(className);
    // The object's destructor is code of the library: release the handle only after it ran.
    return std::shared_ptr<Object>(obj, [library](Object* o) { delete o; });
}

}  // namespace com
