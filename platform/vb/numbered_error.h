// The one base of every numbered error the suite raises: the runtime's (vb::RuntimeError), the
// database layer's (db::Error) and objects' (com::Error, which adds its source). A caller that
// shows or re-raises "the current error" catches this one type.
//
// The class is defined in the platform library only (its key function lives there), so its
// type information is one object in a process: an engine library that throws any of the three
// and a host that catches the base agree on the type whichever side threw it.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vb {

class NumberedError : public std::runtime_error {
public:
    NumberedError(int32_t number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    ~NumberedError() override;

    int32_t number() const { return number_; }
    const std::string& description() const { return description_; }

private:
    int32_t number_;
    std::string description_;
};

}  // namespace vb
