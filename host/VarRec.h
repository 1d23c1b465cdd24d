// TVarRec: one argument of a Format call (the classic "array of const" element).
// Format(fmt, {a, b}) and Format(fmt, a, b) both build these; they only borrow text arguments,
// so they must not outlive the call.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace host {

struct TVarRec {
    enum Kind : uint8_t { vtInteger, vtUnsigned, vtExtended, vtString, vtChar, vtPointer, vtBoolean };

    Kind kind;
    int64_t integer = 0;           // vtInteger; vtUnsigned/vtBoolean/vtChar store their value here too
    double extended = 0;           // vtExtended
    std::string_view string;       // vtString
    const void* pointer = nullptr; // vtPointer

    template <std::signed_integral T>
    requires(!std::same_as<T, char>) TVarRec(T v) : kind(vtInteger), integer(static_cast<int64_t>(v)) {}
    template <std::unsigned_integral T>
    requires(!std::same_as<T, bool>) TVarRec(T v) : kind(vtUnsigned), integer(static_cast<int64_t>(v)) {}
    template <class T>
    requires std::is_enum_v<T> TVarRec(T v) : kind(vtInteger), integer(static_cast<int64_t>(v)) {}
    TVarRec(bool v) : kind(vtBoolean), integer(v ? 1 : 0) {}
    TVarRec(char c) : kind(vtChar), integer(static_cast<unsigned char>(c)) {}
    TVarRec(float v) : kind(vtExtended), extended(v) {}
    TVarRec(double v) : kind(vtExtended), extended(v) {}
    TVarRec(long double v) : kind(vtExtended), extended(static_cast<double>(v)) {}
    TVarRec(const char* s) : kind(vtString), string(s ? std::string_view(s) : std::string_view()) {}
    TVarRec(const std::string& s) : kind(vtString), string(s) {}
    TVarRec(std::string_view s) : kind(vtString), string(s) {}
    TVarRec(const void* p) : kind(vtPointer), pointer(p) {}
};

} // namespace host
