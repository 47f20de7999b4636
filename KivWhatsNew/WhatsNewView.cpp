#include "KivWhatsNew/WhatsNewView.h"

#include "KivWhatsNew/ReleaseFinder.h"

#include "KivUtilities/MakerURL.h"
#include "KivUtilities/Symbols.h"
#include "KivUtilities/URLStore.h"
#include "KivUtilities/Url.h"
#include "platform/Workspace.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace KivWhatsNew {

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("KivWhatsNew", source);
}

QFont sizedFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QApplication::font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QLabel *secondaryLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
    label->setPalette(palette);
    return label;
}

bool isDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

void openWithCampaign(const QUrl &url)
{
    Platform::Workspace::shared().openUrl(KivUtilities::addingCampaignQueryItems(url));
}

} // namespace

const QString WhatsNewView::titleText = QStringLiteral("What\u2019s\u00a0New");

WhatsNewView::Config WhatsNewView::Config::standard()
{
    Config config;
    config.accentColor = QApplication::palette().color(QPalette::Highlight);
    config.buttonBackgroundColor = config.accentColor;
    return config;
}

WhatsNewView::WhatsNewView(Release release, Config config, const ReleaseStore *store,
                           WhatsNewSettingsStore *settingsStore, QWidget *parent)
    : QWidget(parent)
    , m_release(std::move(release))
    , m_config(std::move(config))
    , m_store(store)
    , m_settingsStore(settingsStore)
{
    setObjectName(QStringLiteral("WhatsNewView"));
    setFixedWidth(m_config.windowWidth);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // Navigation between releases, where the window's toolbar would be.
    if (m_store && m_store->releases.size() > 1) {
        auto *bar = new QHBoxLayout;
        bar->setContentsMargins(8, 8, 8, 0);
        bar->addStretch();
        m_previous = new QToolButton(this);
        m_previous->setObjectName(QStringLiteral("PreviousReleaseButton"));
        KivUtilities::Symbols::apply(m_previous, QStringLiteral("chevron.backward"));
        m_previous->setToolTip(text("Previous Release"));
        m_next = new QToolButton(this);
        m_next->setObjectName(QStringLiteral("NextReleaseButton"));
        KivUtilities::Symbols::apply(m_next, QStringLiteral("chevron.forward"));
        m_next->setToolTip(text("Next Release"));
        connect(m_previous, &QToolButton::clicked, this, [this] {
            if (const auto previous = m_store->releaseBefore(m_release))
                setRelease(*previous);
        });
        connect(m_next, &QToolButton::clicked, this, [this] {
            if (const auto next = m_store->releaseAfter(m_release))
                setRelease(*next);
        });
        bar->addWidget(m_previous);
        bar->addWidget(m_next);
        outer->addLayout(bar);
    }

    auto *content = new QVBoxLayout;
    content->setContentsMargins(32, 12, 32, 32);
    content->setSpacing(36);
    outer->addLayout(content);

    // Header: title and version on one line, the summary below.
    auto *header = new QVBoxLayout;
    header->setSpacing(6);
    header->setContentsMargins(8, 0, 8, 0);
    auto *titleRow = new QHBoxLayout;
    auto *title = new QLabel(titleText, this);
    title->setObjectName(QStringLiteral("WhatsNewTitle"));
    title->setFont(sizedFont(36, QFont::Bold));
    m_version = secondaryLabel(this);
    m_version->setObjectName(QStringLiteral("WhatsNewVersion"));
    m_version->setFont(sizedFont(36, QFont::Medium));
    titleRow->addWidget(title);
    titleRow->addWidget(m_version);
    titleRow->addStretch();
    header->addLayout(titleRow);
    m_summary = secondaryLabel(this);
    m_summary->setObjectName(QStringLiteral("WhatsNewSummary"));
    m_summary->setFont(sizedFont(18, QFont::Normal));
    m_summary->setWordWrap(true);
    header->addWidget(m_summary);
    content->addLayout(header);

    m_changes = new QWidget(this);
    m_changesLayout = new QVBoxLayout(m_changes);
    m_changesLayout->setContentsMargins(0, 0, 0, 0);
    m_changesLayout->setSpacing(12);
    content->addWidget(m_changes);

    auto *footer = new QVBoxLayout;
    footer->setSpacing(24);
    m_readFullNotes = new QPushButton(text("Read full Release Notes..."), this);
    m_readFullNotes->setObjectName(QStringLiteral("ReadFullReleaseNotesButton"));
    m_readFullNotes->setFlat(true);
    m_readFullNotes->setCursor(Qt::PointingHandCursor);
    connect(m_readFullNotes, &QPushButton::clicked, this, [this] {
        if (const auto url = m_release.url())
            openWithCampaign(*url);
    });
    footer->addWidget(m_readFullNotes, 0, Qt::AlignHCenter);
    auto *continueButton = new QPushButton(text("Continue"), this);
    continueButton->setObjectName(QStringLiteral("ContinueButton"));
    continueButton->setFont(sizedFont(18, QFont::Medium));
    continueButton->setFixedWidth(200);
    continueButton->setDefault(true);
    continueButton->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: none;"
                       " border-radius: 13px; padding: 12px 24px; }")
            .arg(m_config.buttonBackgroundColor.name(), m_config.buttonTextColor.name()));
    connect(continueButton, &QPushButton::clicked, this, &WhatsNewView::continuePressed);
    footer->addWidget(continueButton, 0, Qt::AlignHCenter);
    content->addLayout(footer);

    if (m_config.isNewsletterInfoEnabled) {
        auto *divider = new QFrame(this);
        divider->setFrameShape(QFrame::HLine);
        divider->setFrameShadow(QFrame::Sunken);
        outer->addWidget(divider);
        auto *row = new QWidget(this);
        row->setObjectName(QStringLiteral("NewsletterRow"));
        row->setAutoFillBackground(true);
        QPalette palette = row->palette();
        palette.setColor(QPalette::Window, palette.color(QPalette::Window).darker(110));
        row->setPalette(palette);
        auto *rowLayout = new QHBoxLayout(row);
        auto *invitation = new QLabel(text("Want to stay up to date with our apps?"), row);
        invitation->setFont(sizedFont(12, QFont::Medium));
        auto *join = new QPushButton(text("Join our newsletter"), row);
        join->setObjectName(QStringLiteral("NewsletterButton"));
        join->setFont(sizedFont(12, QFont::Medium));
        join->setFlat(true);
        join->setCursor(Qt::PointingHandCursor);
        connect(join, &QPushButton::clicked, this,
                [] { KivUtilities::URLStore::open(KivUtilities::MakerURL::newsletter, true); });
        rowLayout->addStretch();
        rowLayout->addWidget(invitation);
        rowLayout->addWidget(join);
        rowLayout->addStretch();
        outer->addWidget(row);
    }

    rebuild();
}

void WhatsNewView::setRelease(const Release &release)
{
    m_release = release;
    rebuild();
    emit releaseChanged();
}

void WhatsNewView::rebuild()
{
    m_version->setText(m_release.version.string);
    m_summary->setVisible(m_release.summary.has_value());
    m_summary->setText(m_release.summary ? m_release.summary->resolved() : QString());
    while (QLayoutItem *item = m_changesLayout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    for (const Change &change : m_release.changes)
        m_changesLayout->addWidget(new ChangeView(change, m_config.accentColor, m_changes));
    m_readFullNotes->setVisible(m_release.url().has_value());
    if (m_previous)
        m_previous->setEnabled(m_store->releaseBefore(m_release).has_value());
    if (m_next)
        m_next->setEnabled(m_store->releaseAfter(m_release).has_value());
    if (QWidget *top = window(); top != this)
        top->adjustSize();
}

void WhatsNewView::continuePressed()
{
    // The flag belongs to the running version, whichever release is on screen.
    if (m_settingsStore)
        m_settingsStore->setDidDisplay(KivUtilities::Version(runningVersionText()).string);
    emit dismissed();
    if (QWidget *top = window(); top != this)
        top->close();
}

ChangeView::ChangeView(Change change, QColor tint, QWidget *parent)
    : QWidget(parent)
    , m_change(std::move(change))
{
    setObjectName(QStringLiteral("ChangeView"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(18);
    if (m_change.symbol) {
        auto *symbol = new QLabel(this);
        symbol->setObjectName(QStringLiteral("ChangeSymbol"));
        const QIcon icon = KivUtilities::Symbols::icon(*m_change.symbol);
        QPixmap pixmap = icon.pixmap(48, 48);
        if (!pixmap.isNull() && tint.isValid()) {
            // The symbol in the tint colour.
            QPainter painter(&pixmap);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(pixmap.rect(), tint);
        }
        symbol->setPixmap(pixmap);
        symbol->setFixedSize(48, 48);
        symbol->setProperty(KivUtilities::Symbols::propertyName, *m_change.symbol);
        row->addWidget(symbol);
    }
    auto *texts = new QVBoxLayout;
    texts->setSpacing(4);
    auto *title = new QLabel(m_change.title.resolved(), this);
    title->setObjectName(QStringLiteral("ChangeTitle"));
    title->setFont(sizedFont(16, QFont::Medium));
    title->setWordWrap(true);
    texts->addWidget(title);
    if (m_change.details) {
        QLabel *details = secondaryLabel(this);
        details->setObjectName(QStringLiteral("ChangeDetails"));
        details->setText(m_change.details->resolved());
        details->setWordWrap(true);
        texts->addWidget(details);
    }
    row->addLayout(texts, 1);
    if (m_change.url()) {
        auto *chevron = new QLabel(this);
        chevron->setObjectName(QStringLiteral("ChangeChevron"));
        KivUtilities::Symbols::apply(chevron, QStringLiteral("chevron.right"));
        chevron->setEnabled(false);
        row->addWidget(chevron);
        setCursor(Qt::PointingHandCursor);
    }
}

void ChangeView::activate()
{
    if (const auto url = m_change.url())
        openWithCampaign(*url);
}

void ChangeView::enterEvent(QEnterEvent *event)
{
    if (m_change.url()) {
        m_hovered = true;
        update();
    }
    QWidget::enterEvent(event);
}

void ChangeView::leaveEvent(QEvent *event)
{
    if (m_change.url()) {
        m_hovered = false;
        update();
    }
    QWidget::leaveEvent(event);
}

void ChangeView::mouseReleaseEvent(QMouseEvent *event)
{
    if (rect().contains(event->position().toPoint()))
        activate();
    QWidget::mouseReleaseEvent(event);
}

void ChangeView::paintEvent(QPaintEvent *)
{
    if (!m_hovered)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(rect(), 13, 13);
    painter.fillPath(path, isDark(palette()) ? QColor(255, 255, 255, 13) : QColor(0, 0, 0, 13));
}

} // namespace KivWhatsNew
