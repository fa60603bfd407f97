#pragma once
// The publishing tool's one failure type: a message for the studio, printed
// on stderr before the tool exits non-zero.
#include <stdexcept>
#include <string>

namespace velmora::publish {

class PublishError : public std::runtime_error {
public:
    explicit PublishError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace velmora::publish
