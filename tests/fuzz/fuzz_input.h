#pragma once

// Reads a fuzz input as a sequence of operations: bytes, numbers and
// pieces taken from the front; past the end every read gives zero or
// nothing, so a target never runs off its input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fuzz {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Done() const { return m_at >= m_size; }
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::size_t Number() { return static_cast<std::size_t>(Byte()) | static_cast<std::size_t>(Byte()) << 8; }
    // Up to `length` bytes, fewer at the end of the input.
    std::string_view Bytes(std::size_t length) {
        length = std::min(length, m_size - std::min(m_at, m_size));
        std::string_view piece(reinterpret_cast<const char*>(m_data + m_at), length);
        m_at += length;
        return piece;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

}  // namespace fuzz
