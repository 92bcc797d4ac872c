// The library side of object creation: class factories, the live-object count and
// registration of the library's classes with its own path.
#include "platform/com/server.h"

#include <dlfcn.h>

#include <cctype>
#include <exception>
#include <filesystem>
#include <system_error>

#include "platform/com/registry.h"

namespace com {

class Server::Factory final : public ClassFactory {
public:
    Factory(const ServerClass& cls, std::atomic<long>& live) : cls_(cls), live_(live) {}
    Object* CreateInstance() override { return cls_.make_(live_); }

private:
    const ServerClass& cls_;
    std::atomic<long>& live_;
};

Server::Server(std::vector<ServerClass> classes) : classes_(std::move(classes)) {
    for (const ServerClass& c : classes_) factories_.push_back(std::make_unique<Factory>(c, live_));
}

Server::~Server() = default;

int32_t Server::GetClassObject(const char* className, ClassFactory** factory) {
    if (!factory) return CLASS_E_CLASSNOTAVAILABLE;
    *factory = nullptr;
    if (!className) return CLASS_E_CLASSNOTAVAILABLE;
    const std::string wanted = className;
    for (size_t i = 0; i < classes_.size(); ++i) {
        const std::string& name = classes_[i].name();
        bool same = name.size() == wanted.size();
        for (size_t k = 0; same && k < name.size(); ++k)
            same = std::tolower((unsigned char)name[k]) == std::tolower((unsigned char)wanted[k]);
        if (same) {
            *factory = factories_[i].get();
            return S_OK;
        }
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

int32_t Server::Register(const void* anchor) const {
    std::string path = LibraryPathOf(anchor);
    if (path.empty()) return SELFREG_E_CLASS;
    try {
        for (const ServerClass& c : classes_) RegisterClass(c.name(), path);
    } catch (const std::exception&) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

int32_t Server::Unregister() const {
    try {
        for (const ServerClass& c : classes_) UnregisterClass(c.name());
    } catch (const std::exception&) {
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

std::string LibraryPathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname || !info.dli_fname[0]) return "";
    std::error_code ec;
    std::filesystem::path p = std::filesystem::canonical(info.dli_fname, ec);
    return ec ? std::string(info.dli_fname) : p.string();
}

}  // namespace com
