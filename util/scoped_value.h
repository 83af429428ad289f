#pragma once

#include <utility>

namespace util {

// Holds a variable at a value for as long as the guard lives and gives it
// back its previous value when the scope ends, on every path out of it: a
// flag that says "inside this call", or a counter raised by one
// (`ScopedValue busy(m_depth, m_depth + 1)`). Guards nest when they end in
// the reverse order of their start, as scopes do. The variable must outlive
// the guard.
template <class T>
class ScopedValue {
public:
    ScopedValue(T& target, T value) : m_target(target), m_saved(std::exchange(target, std::move(value))) {}
    ~ScopedValue() { m_target = std::move(m_saved); }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& m_target;
    T m_saved;
};

}  // namespace util
