#pragma once

#include <QString>

// Asks the main window to select a profile: posted on the default notification centre with the
// profile's uuid under "id".
namespace ShowProfileNotification {

inline const QString name = QStringLiteral("com.quorvane.Tapestrel.ShowProfileNotification");
inline const QString idKey = QStringLiteral("id");

} // namespace ShowProfileNotification

void postShowProfileNotification(const QString &id);
