#pragma once
// The error kinds that the units raise, modelled on the runtime errors the
// callers expect: a failed system call, a registry failure, a bad conversion,
// a failed file operation.
#include <cstdint>
#include <stdexcept>
#include <string>

class EOSError : public std::runtime_error {
public:
    EOSError(uint32_t code, const std::string& message) : std::runtime_error(message), Code(code) {}
    uint32_t Code;
};

// Code: the Windows error of the registry call that failed.
class ERegistryException : public std::runtime_error {
public:
    ERegistryException(const std::string& message, long code) : std::runtime_error(message), Code(code) {}
    long Code;
};

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EInOutError : public std::runtime_error {
public:
    EInOutError(uint32_t code, const std::string& message) : std::runtime_error(message), Code(code) {}
    uint32_t Code;
};

// "System Error.  Code: %d." CR LF and the system's text for the code.
std::string SysErrorText(uint32_t code);
std::string OSErrorMessage(uint32_t code);
// "Windows error <code> (<the system's text>)", as the logs give it.
std::string WindowsErrorText(uint32_t code);
[[noreturn]] void RaiseOSError(uint32_t code);
[[noreturn]] void RaiseLastOSError();
