#include "pstcore/ndb/crypt.h"

namespace pstcore {

namespace {

constexpr std::array<std::uint32_t, 256> make_crc_table() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr auto k_crc_table = make_crc_table();

}  // namespace

std::uint32_t compute_crc(std::span<const std::byte> data, std::uint32_t initial) {
    std::uint32_t crc = initial;
    for (auto b : data) crc = k_crc_table[(crc ^ std::to_integer<std::uint32_t>(b)) & 0xFF] ^ (crc >> 8);
    return crc;
}

}  // namespace pstcore
