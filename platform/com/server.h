// The library side of object creation: what an object library needs to export its classes.
// A library lists its classes once and forwards its four C entry points to a Server:
//
//     namespace {
//     com::Server& TheServer() {
//         static com::Server server({com::ServerClass::Of<zorvapi::DataEngine>("ZORVAPI.DataEngine")});
//         return server;
//     }
//     }  // namespace
//     COM_EXPORT_SERVER(TheServer())
//
// The server counts the objects its factories made that are still alive (DllCanUnloadNow) and
// registers its class names with the path of the library that contains it.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/com/object.h"

namespace com {

class Server;

// One creatable class of a library.
class ServerClass {
public:
    template <typename T>
    static ServerClass Of(std::string className) {
        return ServerClass(std::move(className), [](std::atomic<long>& live) -> Object* {
            return new Counted<T>(live);
        });
    }
    const std::string& name() const { return name_; }

private:
    friend class Server;
    using Maker = Object* (*)(std::atomic<long>&);
    ServerClass(std::string name, Maker make) : name_(std::move(name)), make_(make) {}

    // The object as the class makes it, counted while it lives.
    template <typename T>
    class Counted final : public T {
    public:
        explicit Counted(std::atomic<long>& live) : live_(live) { ++live_; }
        ~Counted() override { --live_; }

    private:
        std::atomic<long>& live_;
    };

    std::string name_;
    Maker make_;
};

class Server {
public:
    explicit Server(std::vector<ServerClass> classes);
    ~Server();

    // The entry points' bodies. `anchor` is any address inside the library (the library finds
    // its own file from it), taken from an object of internal linkage so that it cannot be
    // resolved to another library's symbol.
    int32_t GetClassObject(const char* className, ClassFactory** factory);
    int32_t CanUnloadNow() const { return live_ == 0 ? S_OK : S_FALSE; }
    int32_t Register(const void* anchor) const;
    int32_t Unregister() const;

    long liveObjects() const { return live_; }

private:
    class Factory;
    std::vector<ServerClass> classes_;
    std::vector<std::unique_ptr<Factory>> factories_;
    std::atomic<long> live_{0};
};

// The absolute path of the shared object that contains `address`, or "" when it is unknown.
std::string LibraryPathOf(const void* address);

}  // namespace com

// Defines the library's four C entry points over the server expression `server`.
#define COM_EXPORT_SERVER(server)                                                              \
    namespace {                                                                                \
    const char comServerAnchor = 0;                                                            \
    }                                                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t DllGetClassObject(              \
        const char* className, com::ClassFactory** factory) {                                  \
        return (server).GetClassObject(className, factory);                                    \
    }                                                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t DllCanUnloadNow() {             \
        return (server).CanUnloadNow();                                                        \
    }                                                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer() {           \
        return (server).Register(&comServerAnchor);                                            \
    }                                                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer() {         \
        return (server).Unregister();                                                          \
    }
