#pragma once

#include <QVariantList>

#include <functional>

namespace KivUtilities {

// An operation asks the user to confirm itself through this before it goes ahead.
class Confirmation
{
public:
    virtual ~Confirmation() = default;
    // Calls the completion, before returning, with whether the operation may go ahead.
    virtual void confirm(const QVariantList &items, const std::function<void(bool)> &completion) = 0;
};

} // namespace KivUtilities
