#pragma once
// Byte-exact access to the device's wire images. Every record is kept as its
// byte image; each field is loaded and stored explicitly in the byte order the
// device expects, so the images are the same on any host.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace zuv {

// A field of type T at a fixed offset in an image.
template <class T>
struct field_at {
    std::size_t off;
    static constexpr std::size_t width = sizeof(T);
    constexpr std::size_t end() const { return off + width; }
};

// A fixed-width text area.
struct text_at {
    std::size_t off;
    std::size_t width;
    constexpr std::size_t end() const { return off + width; }
};

// An array of equal slots: count slots of stride bytes from off.
struct slots_at {
    std::size_t off;
    std::size_t count;
    std::size_t stride;
    constexpr std::size_t end() const { return off + count * stride; }
    constexpr std::size_t slot(std::size_t n) const { return off + n * stride; }
};

template <class U>
constexpr U load_le_unsigned(const std::uint8_t* p) {
    U v = 0;
    for (std::size_t i = sizeof(U); i-- > 0;) v = static_cast<U>((v << 8) | p[i]);
    return v;
}

template <class U>
constexpr void store_le_unsigned(std::uint8_t* p, U v) {
    for (std::size_t i = 0; i < sizeof(U); ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

template <class U>
constexpr U load_be_unsigned(const std::uint8_t* p) {
    U v = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i) v = static_cast<U>((v << 8) | p[i]);
    return v;
}

template <class U>
constexpr void store_be_unsigned(std::uint8_t* p, U v) {
    for (std::size_t i = 0; i < sizeof(U); ++i)
        p[sizeof(U) - 1 - i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Little-endian load and store of integers and IEEE single-precision floats.
template <class T>
constexpr T load_le(const std::uint8_t* p) {
    if constexpr (std::is_same_v<T, float>) {
        return std::bit_cast<float>(load_le_unsigned<std::uint32_t>(p));
    } else {
        return static_cast<T>(load_le_unsigned<std::make_unsigned_t<T>>(p));
    }
}

template <class T>
constexpr void store_le(std::uint8_t* p, T v) {
    if constexpr (std::is_same_v<T, float>) {
        store_le_unsigned<std::uint32_t>(p, std::bit_cast<std::uint32_t>(v));
    } else {
        store_le_unsigned<std::make_unsigned_t<T>>(p, static_cast<std::make_unsigned_t<T>>(v));
    }
}

}  // namespace zuv
