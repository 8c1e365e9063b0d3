#pragma once
// byte_reader.h: checked little-endian reads over bytes that came from the file. Every read checks its range
// first (as `size - offset`, so the check cannot wrap) and throws std::out_of_range rather than read past the end.
// The reader borrows the bytes: they must outlive it.

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <type_traits>

namespace pstcore {

// Decodes a little-endian value of T's size; T is an integer or a plain byte-array type.
template <typename T>
T load_little_endian(const std::byte* bytes) {
    static_assert(std::is_trivially_copyable_v<T>);
    if constexpr (std::is_integral_v<T>) {
        std::make_unsigned_t<T> value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<std::make_unsigned_t<T>>(
                static_cast<std::make_unsigned_t<T>>(std::to_integer<unsigned>(bytes[i])) << (8 * i));
        return static_cast<T>(value);
    } else {
        T value;
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }
}

class byte_reader {
public:
    explicit byte_reader(std::span<const std::byte> bytes) : m_bytes(bytes) {}

    template <std::unsigned_integral T>
    T read(std::size_t offset) const {
        check(offset, sizeof(T));
        T value = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            value |= static_cast<T>(static_cast<T>(std::to_integer<unsigned>(m_bytes[offset + i])) << (8 * i));
        return value;
    }

    std::uint8_t u8(std::size_t offset) const { return read<std::uint8_t>(offset); }
    std::uint16_t u16(std::size_t offset) const { return read<std::uint16_t>(offset); }
    std::uint32_t u32(std::size_t offset) const { return read<std::uint32_t>(offset); }
    std::uint64_t u64(std::size_t offset) const { return read<std::uint64_t>(offset); }

    // A 32-bit (ANSI) or 64-bit (Unicode) field, widened to 64 bits.
    std::uint64_t id(std::size_t offset, bool wide) const { return wide ? u64(offset) : u32(offset); }

    std::span<const std::byte> slice(std::size_t offset, std::size_t length) const {
        check(offset, length);
        return m_bytes.subspan(offset, length);
    }

    std::size_t size() const { return m_bytes.size(); }

    // True when [offset, offset + length) lies inside the bytes.
    bool fits(std::size_t offset, std::size_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

private:
    void check(std::size_t offset, std::size_t length) const {
        if (!fits(offset, length)) throw std::out_of_range("offset past end of data");
    }

    std::span<const std::byte> m_bytes;
};

}  // namespace pstcore
