#include "Tapestrel/ui/settings/OptionPath.h"

#include "Tapestrel/model/OptionModel.h"

#include <QCoreApplication>

namespace {

const QString chevron = QStringLiteral("\u203A");

QStringList translated(const QStringList &path)
{
    QStringList components;
    for (const QString &component : path)
        components.append(QCoreApplication::translate("OptionPath", component.toUtf8().constData()));
    return components;
}

} // namespace

OptionPath::OptionPath(const QStringList &path, QWidget *parent)
    : QLabel(parent)
    , m_path(path)
{
    setObjectName(QStringLiteral("OptionPath"));
    setTextFormat(Qt::RichText);
    setText(richText(path));
}

QString OptionPath::plainText(const QStringList &path)
{
    return OptionModel::displayPathText(path);
}

QString OptionPath::richText(const QStringList &path)
{
    QStringList escaped;
    for (const QString &component : translated(path))
        escaped.append(component.toHtmlEscaped());
    const QString separator =
        QStringLiteral(" <span style=\"font-size: 11px; font-weight: 500; color: #8e8e93;\">%1</span> ")
            .arg(chevron);
    return escaped.join(separator);
}
