#pragma once

#include "Tapestrel/Registries.h"
#include "Tapestrel/tests/engine/RecordingOptionModel.h"
#include "testsupport/Screenshots.h"

#include "Tapestrel/model/EngineSettings.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "platform/CloudKeyValueStore.h"
#include "testsupport/TempHome.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>
#include <QWidget>

namespace UiTests {

// A fresh home with recording option models, a profile store and the synchronised options.
class UiTest : public TestSupport::TempHomeTest
{
protected:
    UiTest()
    {
        OptionStore::setShared(&registry.store);
        ProfileController::setDockRestart([this]() -> QCoro::Task<void> {
            ++dockRestarts;
            co_return;
        });
        EngineSettings::setDisabledOptionIDsSource([this] { return options.disabledOptionsIDs(); });
    }
    ~UiTest() override
    {
        OptionStore::setShared(nullptr);
        ProfileController::setDockRestart({});
        EngineSettings::setDisabledOptionIDsSource({});
    }

    Profile *newProfile(const QString &name) { return context->insert(std::make_unique<Profile>(name)); }

    // The menu's entries in order: texts, with "-" for a divider.
    static QStringList entries(const QMenu *menu)
    {
        QStringList texts;
        for (QAction *action : menu->actions())
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    }
    static QAction *entry(const QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

    // Saves a picture of the widget for a person to look at.
    static void saveScreenshot(QWidget *widget, const QString &name)
    {
        TestSupport::saveScreenshot(widget, name);
    }

    int dockRestarts = 0;
    EngineTests::RecordingRegistry registry;
    ModelContainer container {home.filePath("data.sqlite")};
    ModelContext *context = container.mainContext();
    Platform::CloudKeyValueStore cloud {home.filePath("cloud.plist")};
    SynchronizedOptionsStore options {cloud};
    // The program's application records, for the Apps and Tools tabs.
    AppConfigStore appConfigs {Registries::makeAppConfigs()};
};

} // namespace UiTests
