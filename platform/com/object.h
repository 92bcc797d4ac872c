// Objects created by class name: every creatable class derives from com::Object, and
// com::CreateObject finds the library registered for the class name, loads it and asks its
// class factory for a new object. Errors raised by objects carry a number, a source and a text.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/vb/numbered_error.h"

namespace com {

class Object {
public:
    virtual ~Object() = default;
};

// The COM object-error base plus n: the numbers the engines raise their own errors with.
constexpr int32_t kObjectErrorBase = -2147221504;
constexpr int32_t objectError(int32_t n) { return kObjectErrorBase + n; }

class Error : public vb::NumberedError {
public:
    Error(int32_t number, std::string source, std::string description)
        : vb::NumberedError(number, std::move(description)), source_(std::move(source)) {}
    ~Error() override;
    const std::string& source() const { return source_; }

private:
    std::string source_;
};

// What a library's DllGetClassObject hands out: makes new objects of one class. The factory
// belongs to the library (a static object there); the caller owns the objects it makes.
class ClassFactory {
public:
    virtual ~ClassFactory() = default;
    virtual Object* CreateInstance() = 0;
};

// Result codes of the four library entry points.
constexpr int32_t S_OK = 0;
constexpr int32_t S_FALSE = 1;
constexpr int32_t CLASS_E_CLASSNOTAVAILABLE = -2147221231;  // 0x80040111
constexpr int32_t SELFREG_E_CLASS = -2147220991;            // 0x80040201

// The entry points every object library exports with C linkage (see platform/com/server.h):
//   int32_t DllGetClassObject(const char* className, com::ClassFactory** factory);
//   int32_t DllCanUnloadNow();       // S_OK when no object of the library is alive, else S_FALSE
//   int32_t DllRegisterServer();     // records the library's classes in the class registry
//   int32_t DllUnregisterServer();   // removes them again
using DllGetClassObjectFn = int32_t (*)(const char*, ClassFactory**);
using DllEntryFn = int32_t (*)();

// Error 429, raised when a class cannot be created.
constexpr int32_t kCannotCreateObject = 429;
constexpr const char* kCannotCreateObjectText = "ActiveX component can't create object";

// A new object of the registered class (for example "ZORVAPI.DataEngine"). The library stays
// loaded while any object it made is alive. Raises com::Error 429 "ActiveX component can't
// create object" when the class is not registered or its library cannot be loaded.
std::shared_ptr<Object> CreateObject(const std::string& className);

template <typename I>
std::shared_ptr<I> CreateObjectAs(const std::string& className) {
    auto obj = CreateObject(className);
    auto typed = std::dynamic_pointer_cast<I>(obj);
    if (!typed) throw Error(13, className, "Type mismatch");
    return typed;
}

}  // namespace com
