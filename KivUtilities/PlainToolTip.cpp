#include "KivUtilities/PlainToolTip.h"

#include <QTextDocument>

namespace KivUtilities {

QString plainToolTip(const QString &text)
{
    return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNoWrap) : text;
}

} // namespace KivUtilities
