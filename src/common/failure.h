#pragma once
// The program's one failure type: a number (a Win32 error code or an
// HRESULT) and the system's description of it. Failures that reach the user
// are reported by both.
#include <cstdint>
#include <exception>
#include <string>

namespace velmora {

class Failure : public std::exception {
public:
    Failure(std::uint32_t number, std::wstring description)
        : number_(number), description_(std::move(description)) {}

    std::uint32_t Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return "velmora::Failure"; }

private:
    std::uint32_t number_;
    std::wstring description_;
};

// The text a message box shows for a failure that ends the program:
// "Error <number>: <description>". HRESULTs (high bit set) are written in
// hexadecimal as the system's tools write them, other codes in decimal.
std::wstring DescribeFailure(const Failure& failure);

}  // namespace velmora
