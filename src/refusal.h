// The error convention's one helper: a function that fails fills `err` and returns false.
#pragma once

#include <string>

inline bool Refuse(std::string* err, const std::string& message) {
    *err = message;
    return false;
}
