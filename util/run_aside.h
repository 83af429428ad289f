#pragma once

#include <future>
#include <system_error>
#include <type_traits>
#include <utility>

namespace util {

// Starts `work` on a thread of its own and returns its future; get() waits
// for the result, and dropping the future waits for the thread. Where no
// thread can be started, the work runs at get() instead, on the caller's.
template <class Work>
std::future<std::invoke_result_t<std::decay_t<Work>>> RunAside(Work&& work) {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, std::forward<Work>(work));
    }
}

}  // namespace util
