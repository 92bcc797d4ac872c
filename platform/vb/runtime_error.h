// The runtime's numbered errors that the engines and programs rely on (5, 6, 7, 9, 11, 13, 52,
// 53, 57, 62, 75, 76 ...). Engine code catches them by number and maps them to its own numbered
// errors.
#pragma once

#include <cstdint>
#include <string>

#include "platform/vb/numbered_error.h"

namespace vb {

class RuntimeError : public NumberedError {
public:
    RuntimeError(int32_t number, std::string description) : NumberedError(number, std::move(description)) {}
    ~RuntimeError() override;

    static RuntimeError InvalidCall() { return {5, "Invalid procedure call or argument"}; }
    static RuntimeError Overflow() { return {6, "Overflow"}; }
    static RuntimeError OutOfMemory() { return {7, "Out of memory"}; }
    static RuntimeError SubscriptOutOfRange() { return {9, "Subscript out of range"}; }
    static RuntimeError DivisionByZero() { return {11, "Division by zero"}; }
    static RuntimeError TypeMismatch() { return {13, "Type mismatch"}; }
    static RuntimeError FileNotFound() { return {53, "File not found"}; }
    static RuntimeError BadFileNumber() { return {52, "Bad file name or number"}; }
    static RuntimeError DeviceIO() { return {57, "Device I/O error"}; }
    static RuntimeError InputPastEnd() { return {62, "Input past end of file"}; }
    static RuntimeError PathFileAccess() { return {75, "Path/File access error"}; }
    static RuntimeError PathNotFound() { return {76, "Path not found"}; }
};

}  // namespace vb
