#pragma once
// Readable names of types for fault reports ("float", "struct tacka4").

#include <string>
#include <string_view>
#include <type_traits>

template <typename T> constexpr std::string_view type_name_raw()
{
    // GCC and clang spell it "... [with T = float; ...]" / "... [T = float]".
    std::string_view p = __PRETTY_FUNCTION__;
    size_t start = p.find("T = ");
    if (start == std::string_view::npos) return "?";
    start += 4;
    size_t end = p.find_first_of(";]", start);
    return p.substr(start, end - start);
}

template <typename T> std::string type_name()
{
    std::string name(type_name_raw<T>());
    if constexpr (std::is_class_v<T>) name = "struct " + name;
    return name;
}
