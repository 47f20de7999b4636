#pragma once

#include <functional>

namespace KivUtilities {

// A two-way connection to a value that someone else owns: read it, write it, and optionally be
// told when it changes elsewhere (subscribe calls the callback after each change, for as long as
// the context object lives).
template<typename T> struct Binding
{
    std::function<T()> get;
    std::function<void(const T &)> set;
    std::function<void(QObject *context, std::function<void()> changed)> subscribe;
};

} // namespace KivUtilities
