#include "DataSettingsView.h"

#include "KivApp/CloudKitStatusModel.h"
#include "KivApp/DataResetController.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/ElidedLabel.h"
#include "KivUtilities/Symbols.h"
#include "platform/Alerts.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace KivApp {

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("DataSettingsView", source);
}

QLabel *sectionHeader(const QString &title)
{
    auto *label = new QLabel(title);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

} // namespace

DataSettingsView::DataSettingsView(CloudKitStatusModel *model, QList<DataDirectory> directories,
                                   DataResetController *resetController, bool isResetToCloudStateVisible,
                                   QWidget *parent)
    : SettingsPage(
        {text("Data"), QStringLiteral("tray.full")}, Kind::form, [this] { return build(); }, parent)
    , m_model(model)
    , m_directories(std::move(directories))
    , m_resetController(resetController)
    , m_isResetToCloudStateVisible(isResetToCloudStateVisible)
{
    setObjectName(QStringLiteral("DataSettingsView"));
}

QWidget *DataSettingsView::build()
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);

    layout->addWidget(sectionHeader(text("iCloud Synchronization")));
    auto *status = new QLabel(m_model ? m_model->lastStatus() : QString());
    status->setObjectName(QStringLiteral("SyncStatus"));
    status->setTextFormat(Qt::PlainText);
    status->setWordWrap(true);
    layout->addWidget(status);
    if (m_isResetToCloudStateVisible) {
        m_resetButton = new QPushButton(text("Reset to iCloud State…"));
        m_resetButton->setObjectName(QStringLiteral("ResetButton"));
        m_resetButton->setEnabled(m_resetController != nullptr);
        connect(m_resetButton, &QPushButton::clicked, this, &DataSettingsView::confirmAndReset);
        layout->addWidget(m_resetButton, 0, Qt::AlignLeft);
    }

    layout->addSpacing(12);
    layout->addWidget(sectionHeader(text("Directories")));
    auto *grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    int row = 0;
    for (const DataDirectory &directory : std::as_const(m_directories)) {
        auto *name = new QLabel(directory.name);
        // Long paths are shortened in the middle, keeping where they start and end; the tooltip
        // has them whole.
        auto *path = new KivUtilities::ElidedLabel(QDir::toNativeSeparators(directory.path));
        name->setTextFormat(Qt::PlainText);
        path->setObjectName(QStringLiteral("DirectoryPath"));
        auto *show = new QPushButton(text("Show in Folder"));
        show->setObjectName(QStringLiteral("ShowDirectory"));
        KivUtilities::Symbols::apply(show, QStringLiteral("folder.fill"));
        const QString folder = directory.path;
        connect(show, &QPushButton::clicked, this, [folder] {
            // A folder that is not there yet is made, so the file manager has something to show.
            QDir().mkpath(folder);
            Platform::Workspace::shared().openUrl(QUrl::fromLocalFile(folder));
        });
        grid->addWidget(name, row, 0);
        grid->addWidget(path, row, 1);
        grid->addWidget(show, row, 2);
        ++row;
    }
    layout->addLayout(grid);
    return content;
}

void DataSettingsView::confirmAndReset()
{
    if (m_resetting || !m_resetController)
        return;
    Platform::Alert question;
    question.message = text("Reset the local data?");
    question.informativeText = text("The data on this computer is replaced by the state kept in iCloud. "
                                    "This cannot be undone.");
    question.buttons = {text("Reset"), text("Cancel")};
    question.defaultButton = 1;
    question.cancelButton = 1;
    if (Platform::Alerts::run(question, window()).button != 0)
        return;

    m_resetting = true;
    if (m_resetButton)
        m_resetButton->setEnabled(false);
    QPointer<DataSettingsView> self(this);
    KivUtilities::detached(
        [](QPointer<DataSettingsView> self, DataResetController *controller) -> QCoro::Task<void> {
            const std::optional<QString> failure = co_await resetData(controller);
            if (!self)
                co_return;
            self->m_resetting = false;
            if (self->m_resetButton)
                self->m_resetButton->setEnabled(true);
            if (failure) {
                Platform::Alert alert;
                alert.message = text("The data could not be reset.");
                alert.informativeText = *failure;
                alert.buttons = {text("OK")};
                alert.style = Platform::Alert::Style::Critical;
                Platform::Alerts::run(alert, self->window());
            }
            emit self->resetFinished(!failure);
        }(self, m_resetController),
        "Resetting the local data");
}

} // namespace KivApp
