// The system's own exception: no fields, no message. Raised on a bad node
// index by the mesh and node definitions.
#pragma once

#include <exception>

class exMyException : public std::exception {
public:
    const char* what() const noexcept override { return "exMyException"; }
};
