#pragma once
// Base64 for the web build, where the system's library is not at hand: the one call the report
// makes, RFC 4648's alphabet with padding.
#include <cstddef>
#include <cstdint>

#define BASE64_ENCODE_RAW_LENGTH(length) ((((length) + 2) / 3) * 4)

inline void base64_encode_raw(char* out, std::size_t length, const std::uint8_t* in) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < length; i += 3) {
        const std::uint32_t n = std::uint32_t(in[i]) << 16 | (i + 1 < length ? std::uint32_t(in[i + 1]) << 8 : 0) |
                                (i + 2 < length ? in[i + 2] : 0);
        *out++ = alphabet[n >> 18];
        *out++ = alphabet[(n >> 12) & 63];
        *out++ = i + 1 < length ? alphabet[(n >> 6) & 63] : '=';
        *out++ = i + 2 < length ? alphabet[n & 63] : '=';
    }
}
