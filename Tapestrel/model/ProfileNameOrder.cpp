#include "Tapestrel/model/ProfileNameOrder.h"

#include "Tapestrel/model/Profile.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

void sortProfilesByName(QList<Profile *> &profiles)
{
    // The C locale is no language: its collation compares code points, capitals first. Names are
    // then sorted by the common rules that most languages share (English has no rules of its own).
    const QLocale locale = QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale();
    QCollator collator {locale};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    collator.setIgnorePunctuation(false);
    // Sort keys once instead of collating each pair again.
    QList<std::pair<QCollatorSortKey, Profile *>> keyed;
    keyed.reserve(profiles.size());
    for (Profile *profile : std::as_const(profiles))
        keyed.append({collator.sortKey(profile->name()), profile});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
    for (qsizetype i = 0; i < keyed.size(); ++i)
        profiles[i] = keyed[i].second;
}
