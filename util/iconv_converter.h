#pragma once

#include <iconv.h>

#include <cstddef>
#include <optional>

namespace util {

// One iconv conversion descriptor. Move-only; closes the descriptor when it
// goes away.
class IconvConverter {
public:
    enum class Status { Done, OutputFull, InvalidSequence, IncompleteSequence };

    // Nothing when iconv does not know one of the two names.
    static std::optional<IconvConverter> Open(const char* to, const char* from);

    IconvConverter(IconvConverter&& other) noexcept;
    IconvConverter& operator=(IconvConverter&& other) noexcept;
    IconvConverter(const IconvConverter&) = delete;
    IconvConverter& operator=(const IconvConverter&) = delete;
    ~IconvConverter();

    // Converts as much of [in, in + in_left) as fits; advances all four.
    Status Convert(const char*& in, std::size_t& in_left, char*& out, std::size_t& out_left);

    // Writes the sequence that returns a stateful encoding to its initial
    // state.
    Status Flush(char*& out, std::size_t& out_left);

    // Forgets any shift state, so that the next conversion starts afresh.
    void Reset();

private:
    explicit IconvConverter(iconv_t handle) : m_handle(handle) {}
    void Close();

    iconv_t m_handle;
};

}  // namespace util
