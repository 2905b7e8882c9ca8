#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// A length-prefixed text of at most N characters, stored inline (no heap), as
// the records that cross threads and programs need.
template <size_t N>
struct ShortString {
    uint8_t Len;
    char Chars[N];

    std::string Str() const { return std::string(Chars, Len <= N ? Len : N); }
    void Set(std::string_view text)
    {
        size_t n = text.size() < N ? text.size() : N;
        std::memcpy(Chars, text.data(), n);
        Len = static_cast<uint8_t>(n);
    }
    void Clear() { Len = 0; }
    bool Empty() const { return Len == 0; }
};
