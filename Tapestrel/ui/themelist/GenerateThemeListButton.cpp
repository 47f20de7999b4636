#include "GenerateThemeListButton.h"

#include "ThemeListExporter.h"
#include "ThemeListGenerator.h"

#include "KivApp/AppMenuButtons.h"
#include "KivUtilities/Symbols.h"
#include "KivUtilities/ToastController.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMenu>

namespace GenerateThemeListButton {

QMenu *make(Profile *profile, QWidget *parent, OptionStore *registry)
{
    auto *menu = new QMenu(QCoreApplication::translate("GenerateThemeListButton", "Copy Theme List"), parent);
    menu->setObjectName(QStringLiteral("GenerateThemeListButton"));
    menu->setIcon(KivUtilities::Symbols::icon(QStringLiteral("list.bullet.clipboard")));
    menu->menuAction()->setProperty(KivUtilities::Symbols::propertyName,
                                    QStringLiteral("list.bullet.clipboard"));
    menu->addAction(copyListButton(QCoreApplication::translate("GenerateThemeListButton", "Plain Text"),
                                   QStringLiteral("text.page"), profile,
                                   std::make_shared<PlainTextThemeListExporter>(), registry, menu));
    menu->addAction(copyListButton(QCoreApplication::translate("GenerateThemeListButton", "Markdown"),
                                   QStringLiteral("asterisk"), profile,
                                   std::make_shared<MarkdownThemeListExporter>(), registry, menu));
    menu->setEnabled(profile != nullptr);
    return menu;
}

QAction *copyListButton(const QString &title, const QString &symbol, Profile *profile,
                        std::shared_ptr<const ThemeListExporter> exporter, OptionStore *registry,
                        QObject *parent)
{
    QAction *action = KivApp::AppMenuButtons::makeAction(title, symbol, parent);
    auto generator = std::make_shared<ThemeListGenerator>(profile, registry);
    QObject::connect(action, &QAction::triggered, action, [generator, exporter] {
        const QString text = exporter->exportList(*generator);
        QClipboard *clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        clipboard->setText(text);
        KivUtilities::ToastController::shared().show(
            KivUtilities::LocalizedStringKey(QStringLiteral("Copied")),
            QStringLiteral("document.on.document"), KivUtilities::ToastPosition::Bottom);
    });
    return action;
}

} // namespace GenerateThemeListButton
