#pragma once
// The exceptions of the map component. EOrvexException carries the component's own
// messages; the others stand for the framework errors that C++ does not raise by itself.

#include <stdexcept>
#include <string>

// printf-style formatting into a std::string; the messages are built with it. Numbers are
// written as in the "C" locale ('.' before decimals) whatever the user's locale.
std::string Format(const char* Fmt, ...) __attribute__((format(printf, 1, 2)));

class EOrvexException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An assignment between classes that cannot take each other (CopyFrom).
class EInvalidCast : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A floating-point operation that has no result (division by a zero factor).
class EFloatingPointError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An index outside a list.
class EListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A call of an operation that the class does not implement.
class EAbstractError : public std::runtime_error {
public:
    EAbstractError() : std::runtime_error("Abstract Error") {}
};

// A text or value that cannot be converted to the wanted type.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
