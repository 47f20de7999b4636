#pragma once

#include <memory>
#include <mutex>

namespace KivUtilities {

// The replaceable process-wide instance of T: made by the factory on first use (exactly once, even
// under concurrent first use), replaced by set(). set(nullptr) makes the next get() create it anew.
template<typename T> class SharedInstance
{
public:
    template<typename Factory> static T &get(Factory factory)
    {
        std::lock_guard lock(s_mutex);
        if (!s_instance)
            s_instance = factory();
        return *s_instance;
    }

    static void set(std::unique_ptr<T> instance)
    {
        std::lock_guard lock(s_mutex);
        s_instance = std::move(instance);
    }

private:
    static inline std::mutex s_mutex;
    static inline std::unique_ptr<T> s_instance;
};

} // namespace KivUtilities
