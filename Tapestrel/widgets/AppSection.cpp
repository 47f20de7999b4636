#include "Tapestrel/widgets/AppSection.h"

#include "Tapestrel/model/AppConfig.h"
#include "Tapestrel/widgets/AppIcon.h"
#include "Tapestrel/widgets/EditorPicker.h"
#include "Tapestrel/widgets/TextStyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

AppSection::AppSection(const QString &title, const std::optional<QString> &comment, Profile *profile,
                       const AppConfig *config, ViewBuilder content, ViewBuilder header, ViewBuilder footer,
                       QWidget *parent)
    : QWidget(parent)
    , m_title(title)
    , m_comment(comment)
    , m_profile(profile)
    , m_config(config)
    , m_contentBuilder(std::move(content))
    , m_headerBuilder(std::move(header))
    , m_footerBuilder(std::move(footer))
    , m_layout(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("AppSection"));
    setProperty("appID", config ? config->id() : QString());
    m_layout->setContentsMargins(0, 0, 0, 0);
    refresh();
}

AppSection::ViewBuilder AppSection::rows(const QStringList &keys, Profile *profile,
                                         SynchronizedOptionsStore *store)
{
    QPointer<Profile> guarded(profile);
    QPointer<SynchronizedOptionsStore> guardedStore(store);
    return [keys, guarded, guardedStore]() -> QWidget * {
        auto *rows = new QWidget;
        auto *layout = new QVBoxLayout(rows);
        layout->setContentsMargins(0, 0, 0, 0);
        for (const QString &key : keys)
            layout->addWidget(new EditorPicker(key, guarded, guardedStore));
        return rows;
    };
}

void AppSection::refresh()
{
    m_present = m_config && m_config->isInstalled();
    if (m_present && !m_built)
        build();
    setHidden(!m_present);
}

void AppSection::build()
{
    m_built = true;
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("AppSectionFrame"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto *column = new QVBoxLayout(frame);

    auto *headerRow = new QHBoxLayout;
    m_icon = new AppIcon(m_config, iconSize);
    m_titleLabel = new QLabel(m_title);
    m_titleLabel->setTextFormat(Qt::PlainText);
    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    headerRow->addWidget(m_icon, 0, Qt::AlignVCenter);
    headerRow->addWidget(m_titleLabel, 0, Qt::AlignVCenter);
    headerRow->addStretch(1);
    if (m_headerBuilder) {
        if (QWidget *extra = m_headerBuilder())
            headerRow->addWidget(extra, 0, Qt::AlignVCenter);
    }
    m_layout->addLayout(headerRow);

    m_content = m_contentBuilder ? m_contentBuilder() : nullptr;
    if (m_content)
        column->addWidget(m_content);
    m_layout->addWidget(frame);

    if (m_comment) {
        m_commentLabel = new QLabel(*m_comment);
        m_commentLabel->setTextFormat(Qt::PlainText);
        m_commentLabel->setWordWrap(true);
        TextStyle::makeCaption(m_commentLabel);
        TextStyle::apply(m_commentLabel, TextStyle::Level::secondary);
        m_layout->addWidget(m_commentLabel);
    }
    if (m_footerBuilder) {
        if (QWidget *extra = m_footerBuilder())
            m_layout->addWidget(extra);
    }
}
