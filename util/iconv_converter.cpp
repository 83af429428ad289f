#include "util/iconv_converter.h"

#include <cerrno>
#include <utility>

namespace util {
namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

IconvConverter::Status StatusFromErrno() {
    switch (errno) {
        case E2BIG:
            return IconvConverter::Status::OutputFull;
        case EINVAL:
            return IconvConverter::Status::IncompleteSequence;
        default:
            return IconvConverter::Status::InvalidSequence;
    }
}

}  // namespace

std::optional<IconvConverter> IconvConverter::Open(const char* to, const char* from) {
    iconv_t handle = iconv_open(to, from);
    if (handle == kNoHandle) return std::nullopt;
    return IconvConverter(handle);
}

IconvConverter::IconvConverter(IconvConverter&& other) noexcept
    : m_handle(std::exchange(other.m_handle, kNoHandle)) {}

IconvConverter& IconvConverter::operator=(IconvConverter&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, kNoHandle);
    }
    return *this;
}

IconvConverter::~IconvConverter() { Close(); }

IconvConverter::Status IconvConverter::Convert(const char*& in, std::size_t& in_left, char*& out,
                                               std::size_t& out_left) {
    char* in_cursor = const_cast<char*>(in);
    const std::size_t result = iconv(m_handle, &in_cursor, &in_left, &out, &out_left);
    in = in_cursor;
    return result == static_cast<std::size_t>(-1) ? StatusFromErrno() : Status::Done;
}

IconvConverter::Status IconvConverter::Flush(char*& out, std::size_t& out_left) {
    const std::size_t result = iconv(m_handle, nullptr, nullptr, &out, &out_left);
    return result == static_cast<std::size_t>(-1) ? StatusFromErrno() : Status::Done;
}

void IconvConverter::Reset() { iconv(m_handle, nullptr, nullptr, nullptr, nullptr); }

void IconvConverter::Close() {
    if (m_handle != kNoHandle) iconv_close(m_handle);
    m_handle = kNoHandle;
}

}  // namespace util
