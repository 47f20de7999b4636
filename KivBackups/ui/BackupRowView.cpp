#include "KivBackups/ui/BackupRowView.h"

#include "KivUtilities/MediumDateText.h"
#include "KivUtilities/Symbols.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>

namespace KivBackups {

namespace {

QFont captionFont(const QFont &base)
{
    QFont font = base;
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, int(font.pixelSize() * 0.85)));
    return font;
}

QString withoutTrailingZeros(QString text, QChar decimalPoint)
{
    if (!text.contains(decimalPoint))
        return text;
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(decimalPoint))
        text.chop(1);
    return text;
}

} // namespace

BackupRowView::BackupRowView(const Backup &backup, QWidget *parent)
    : QWidget(parent)
    , m_backup(backup)
    , m_date(new QLabel(dateText(backup.date)))
    , m_size(new QLabel(sizeText(backup.size)))
{
    setObjectName(QStringLiteral("BackupRowView"));
    // The list's selection highlight shows through the row.
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);

    auto *symbol = new QLabel;
    symbol->setObjectName(QStringLiteral("BackupSymbol"));
    KivUtilities::Symbols::apply(symbol, QStringLiteral("externaldrive.fill.badge.timemachine"));

    m_date->setObjectName(QStringLiteral("BackupDate"));
    // Shown as it is: a date is no text to translate.
    m_date->setTextFormat(Qt::PlainText);
    m_size->setObjectName(QStringLiteral("BackupSize"));
    m_size->setTextFormat(Qt::PlainText);
    m_size->setFont(captionFont(font()));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(symbol, 0, Qt::AlignVCenter);
    layout->addWidget(m_date, 0, Qt::AlignVCenter);
    layout->addWidget(m_size, 0, Qt::AlignVCenter);
    if (backup.isLocked) {
        m_lock = new QLabel;
        m_lock->setObjectName(QStringLiteral("BackupLock"));
        KivUtilities::Symbols::apply(m_lock, QStringLiteral("lock"), 12);
        layout->addWidget(m_lock, 0, Qt::AlignVCenter);
    }
    layout->addStretch(1);
    applyColors();
}

void BackupRowView::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    applyColors();
}

void BackupRowView::applyColors()
{
    const QPalette base = palette();
    const QColor primary = base.color(m_selected ? QPalette::HighlightedText : QPalette::Text);
    QColor secondary = primary;
    secondary.setAlphaF(0.6f);
    for (QLabel *label : {m_date, m_size}) {
        QPalette colors = label->palette();
        colors.setColor(QPalette::WindowText, label == m_size ? secondary : primary);
        label->setPalette(colors);
    }
}

QString BackupRowView::dateText(const QDateTime &date)
{
    return KivUtilities::mediumDateTimeText(date);
}

QString BackupRowView::sizeText(qint64 bytes)
{
    const QLocale locale;
    if (bytes <= 0)
        return QCoreApplication::translate("KivBackups", "Zero KB");
    if (bytes == 1)
        return QCoreApplication::translate("KivBackups", "1 byte");
    if (bytes < 1000)
        return QCoreApplication::translate("KivBackups", "%1 bytes").arg(locale.toString(bytes));
    static const std::array<const char *, 5> units = {
        QT_TRANSLATE_NOOP("KivBackups", "KB"), QT_TRANSLATE_NOOP("KivBackups", "MB"),
        QT_TRANSLATE_NOOP("KivBackups", "GB"), QT_TRANSLATE_NOOP("KivBackups", "TB"),
        QT_TRANSLATE_NOOP("KivBackups", "PB")};
    double value = double(bytes) / 1000.0;
    std::size_t unit = 0;
    // Round first, so 999,999 bytes read "1 MB" rather than "1,000 KB".
    const auto digitsFor = [](std::size_t index) {
        return index == 0 ? 0 : (index == 1 ? 1 : 2);
    };
    while (unit + 1 < units.size()
           && std::round(value * std::pow(10.0, digitsFor(unit)))
               >= 1000.0 * std::pow(10.0, digitsFor(unit))) {
        value /= 1000.0;
        ++unit;
    }
    const QString number =
        withoutTrailingZeros(locale.toString(value, 'f', digitsFor(unit)), locale.decimalPoint().at(0));
    return QCoreApplication::translate("KivBackups", "%1 %2")
        .arg(number, QCoreApplication::translate("KivBackups", units[unit]));
}

} // namespace KivBackups
