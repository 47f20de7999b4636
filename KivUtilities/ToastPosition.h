#pragma once

#include <QString>

#include <optional>

namespace KivUtilities {

// Where a toast shows over its window.
enum class ToastPosition { Top, Bottom, Center };

QString toRawValue(ToastPosition position);
// Exactly "top", "bottom" or "center"; anything else is no position.
std::optional<ToastPosition> toastPositionFromRawValue(const QString &raw);

} // namespace KivUtilities
