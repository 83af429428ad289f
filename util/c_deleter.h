#pragma once

#include <memory>

namespace util {

// Frees a C library's object through its own release function, so that
// every C handle can live in a std::unique_ptr:
//   using CurlPtr = std::unique_ptr<CURL, util::CDeleter<curl_easy_cleanup>>;
template <auto Free>
struct CDeleter {
    template <class T>
    void operator()(T* pointer) const noexcept {
        Free(pointer);
    }
};

}  // namespace util
