#pragma once

#include "KivWhatsNew/Change.h"

#include "KivUtilities/Version.h"

#include <QList>

namespace KivWhatsNew {

// The notes of one version. Releases are equal and ordered by their version alone.
struct Release
{
    KivUtilities::Version version;
    std::optional<KivUtilities::LocalizedStringKey> summary;
    std::optional<QString> link;
    QList<Change> changes;

    Release() = default;
    Release(const QString &version, std::optional<QString> summary, std::optional<QString> link,
            QList<Change> changes);

    // The link of the full release notes; none when absent or not a valid address.
    std::optional<QUrl> url() const { return webAddress(link); }

    // Reads {"version", "summary"?, "link"?, "changes"}; throws std::runtime_error on a missing
    // required key or a wrong type.
    static Release fromJson(const QJsonObject &object);

    friend bool operator==(const Release &a, const Release &b) { return a.version == b.version; }
    friend bool operator<(const Release &a, const Release &b) { return a.version < b.version; }
    friend bool operator>(const Release &a, const Release &b) { return b < a; }
    friend bool operator<=(const Release &a, const Release &b) { return !(b < a); }
    friend bool operator>=(const Release &a, const Release &b) { return !(a < b); }
};

} // namespace KivWhatsNew
