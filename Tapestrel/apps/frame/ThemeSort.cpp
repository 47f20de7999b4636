#include "Tapestrel/apps/frame/ThemeSort.h"

namespace ThemeSort {

std::vector<char32_t> sortKey(const QString &name)
{
    // UTF-16 code units would put characters beyond the basic plane before U+E000...U+FFFF; scalar
    // values do not.
    const QList<uint> scalars = name.normalized(QString::NormalizationForm_C).toUcs4();
    return std::vector<char32_t>(scalars.begin(), scalars.end());
}

bool lessByName(const QString &a, const QString &b)
{
    return sortKey(a) < sortKey(b);
}

} // namespace ThemeSort
