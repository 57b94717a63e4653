#pragma once
// Integer conversion that stops at the target type's limits instead of wrapping around:
// sizes and edges worked out in wider types end up in the imaging library's 32-bit fields,
// where a wrapped value would turn a huge picture into a negative one.

#include <limits>
#include <type_traits>
#include <utility>

template <class To, class From> constexpr To SaturatingCast(From value) {
    static_assert(std::is_integral_v<To> && std::is_integral_v<From>);
    if (std::cmp_less(value, std::numeric_limits<To>::min()))
        return std::numeric_limits<To>::min();
    if (std::cmp_greater(value, std::numeric_limits<To>::max()))
        return std::numeric_limits<To>::max();
    return static_cast<To>(value);
}
