#pragma once
// exceptions.h: every exception the PST reading layers throw. Messages are fixed English texts; the facts
// behind a failure (offsets, ids, signatures, CRCs) travel in typed fields, never inside the message.

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace pstcore {

// Any structural inconsistency in the file that no more specific type covers.
class database_corrupt : public std::runtime_error {
public:
    explicit database_corrupt(const std::string& message) : std::runtime_error(message) {}
};

// A signature that does not match. For pages and blocks: the one computed from id and location, then the
// stored one. For heap, B-tree-on-heap and table headers (location 0): the one found, then the one expected.
class sig_mismatch : public database_corrupt {
public:
    sig_mismatch(const std::string& message, std::uint64_t location, std::uint64_t id, std::uint32_t first_sig,
                 std::uint32_t second_sig)
        : database_corrupt(message), m_location(location), m_id(id), m_first(first_sig), m_second(second_sig) {}
    std::uint64_t location() const { return m_location; }
    std::uint64_t id() const { return m_id; }
    std::uint32_t first_signature() const { return m_first; }
    std::uint32_t second_signature() const { return m_second; }

private:
    std::uint64_t m_location;
    std::uint64_t m_id;
    std::uint32_t m_first;
    std::uint32_t m_second;
};

class crc_fail : public database_corrupt {
public:
    crc_fail(const std::string& message, std::uint64_t location, std::uint64_t id, std::uint32_t computed,
             std::uint32_t stored)
        : database_corrupt(message), m_location(location), m_id(id), m_computed(computed), m_stored(stored) {}
    std::uint64_t location() const { return m_location; }
    std::uint64_t id() const { return m_id; }
    std::uint32_t computed_crc() const { return m_computed; }
    std::uint32_t stored_crc() const { return m_stored; }

private:
    std::uint64_t m_location;
    std::uint64_t m_id;
    std::uint32_t m_computed;
    std::uint32_t m_stored;
};

// The header's version says the file is not of the format being tried.
class invalid_format : public database_corrupt {
public:
    invalid_format() : database_corrupt("Unexpected Database Format") {}
};

class unexpected_page : public database_corrupt {
public:
    explicit unexpected_page(const std::string& message) : database_corrupt(message) {}
};

class unexpected_block : public database_corrupt {
public:
    explicit unexpected_block(const std::string& message) : database_corrupt(message) {}
};

// A lookup that found nothing; K is the key type (node id, block id, property id, ...).
template <typename K>
class key_not_found : public std::exception {
public:
    explicit key_not_found(const K& key) : m_key(key) {}
    const char* what() const noexcept override { return "key not found"; }
    const K& which() const { return m_key; }

private:
    K m_key;
};

// A typed read of a property whose stored type cannot hold what was asked for (text from an integer, an 8-byte
// value from a 4-byte one). It is a key_not_found for the property id, so that callers treat it as absent.
class prop_type_mismatch : public key_not_found<std::uint16_t> {
public:
    prop_type_mismatch(std::uint16_t id, std::uint16_t stored_type)
        : key_not_found<std::uint16_t>(id), m_stored_type(stored_type) {}
    const char* what() const noexcept override { return "property type mismatch"; }
    std::uint16_t stored_type() const { return m_stored_type; }

private:
    std::uint16_t m_stored_type;
};

// Belongs to a write path that this program never takes; declared so that the family is complete.
class can_not_resize : public std::runtime_error {
public:
    explicit can_not_resize(const std::string& message) : std::runtime_error(message) {}
};

class not_implemented : public std::logic_error {
public:
    explicit not_implemented(const std::string& message) : std::logic_error(message) {}
};

}  // namespace pstcore
