#include "Tapestrel/apps/frame/ThemePicker.h"

#include "Tapestrel/apps/frame/ThemeStore.h"

#include <QComboBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QStandardItemModel>

namespace {

constexpr int kindRole = Qt::UserRole + 1;

} // namespace

QString ThemePicker::builtInHeader()
{
    return tr("Built-in Themes");
}

QString ThemePicker::customHeader()
{
    return tr("Custom Themes");
}

QString ThemePicker::userHeader()
{
    return tr("User Themes");
}

QString ThemePicker::doNotSetTitle()
{
    return tr("Don't set");
}

ThemePicker::ThemePicker(Option *option, const QString &title, const QString &doNotSetValue,
                         Sections sections, ThemeStoreSignals *store, std::function<void()> reloadOnShow,
                         QWidget *parent)
    : QWidget(parent)
    , m_option(option)
    , m_doNotSetValue(doNotSetValue)
    , m_sections(std::move(sections))
    , m_reloadOnShow(std::move(reloadOnShow))
    , m_label(new QLabel(title, this))
    , m_combo(new QComboBox(this))
{
    setObjectName(QStringLiteral("ThemePicker"));
    m_label->setTextFormat(Qt::PlainText);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_label);
    layout->addStretch(1);
    layout->addWidget(m_combo);
    m_combo->setAccessibleName(title);
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_combo->setMinimumContentsLength(12);

    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || m_combo->itemData(index, kindRole).toInt() != int(Entry::Kind::row))
            return;
        if (m_option)
            m_option->setValue(m_combo->itemData(index).toString());
        refreshSelection();
    });
    if (m_option)
        connect(m_option, &Option::valueChanged, this, &ThemePicker::refreshSelection);
    if (store)
        connect(store, &ThemeStoreSignals::changed, this, &ThemePicker::rebuild);
    rebuild();
}

QString ThemePicker::title() const
{
    return m_label->text();
}

void ThemePicker::showEvent(QShowEvent *event)
{
    // A changed list rebuilds the rows through the store's signal.
    if (m_reloadOnShow)
        m_reloadOnShow();
    QWidget::showEvent(event);
}

void ThemePicker::rebuild()
{
    const QSignalBlocker blocker(m_combo);
    m_combo->clear();
    auto add = [this](Entry::Kind kind, const QString &title, const QString &value) {
        m_combo->addItem(title, value);
        const int index = m_combo->count() - 1;
        m_combo->setItemData(index, int(kind), kindRole);
        if (kind == Entry::Kind::header) {
            auto *model = static_cast<QStandardItemModel *>(m_combo->model());
            QStandardItem *item = model->item(index);
            item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        }
    };
    add(Entry::Kind::row, doNotSetTitle(), m_doNotSetValue);
    const QList<Section> sections = m_sections ? m_sections() : QList<Section>();
    if (m_hasDivider) {
        m_combo->insertSeparator(m_combo->count());
        m_combo->setItemData(m_combo->count() - 1, int(Entry::Kind::divider), kindRole);
    }
    for (const Section &section : sections) {
        if (!section.header.isEmpty())
            add(Entry::Kind::header, section.header, QString());
        for (const Row &row : section.rows)
            add(Entry::Kind::row, row.title, row.value);
    }
    refreshSelection();
}

void ThemePicker::setHasDivider(bool hasDivider)
{
    m_hasDivider = hasDivider;
    rebuild();
}

void ThemePicker::refreshSelection()
{
    const QString value = m_option ? m_option->value() : QString();
    int selected = -1;
    for (int index = 0; index < m_combo->count(); ++index) {
        if (m_combo->itemData(index, kindRole).toInt() == int(Entry::Kind::row)
            && m_combo->itemData(index).toString() == value) {
            selected = index;
            break;
        }
    }
    const QSignalBlocker blocker(m_combo);
    m_combo->setCurrentIndex(selected);
}

QList<ThemePicker::Entry> ThemePicker::entries() const
{
    QList<Entry> list;
    for (int index = 0; index < m_combo->count(); ++index) {
        const auto kind = Entry::Kind(m_combo->itemData(index, kindRole).toInt());
        if (kind == Entry::Kind::divider)
            list.append({kind, QString(), QString()});
        else
            list.append({kind, m_combo->itemText(index), m_combo->itemData(index).toString()});
    }
    return list;
}

std::optional<QString> ThemePicker::selectedValue() const
{
    if (m_combo->currentIndex() < 0)
        return std::nullopt;
    return m_combo->currentData().toString();
}

bool ThemePicker::choose(const QString &title)
{
    for (int index = 0; index < m_combo->count(); ++index) {
        if (m_combo->itemData(index, kindRole).toInt() == int(Entry::Kind::row)
            && m_combo->itemText(index) == title) {
            m_combo->setCurrentIndex(index);
            emit m_combo->activated(index);
            return true;
        }
    }
    return false;
}
