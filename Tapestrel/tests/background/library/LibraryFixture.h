#pragma once

#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "Tapestrel/background/BackgroundLibraryServices.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/background/SharedDesktopBackground.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/backup/PredefinedProfileController.h"
#include "Tapestrel/model/Profile.h"
#include "platform/UserDefaults.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QMenu>

#include <nlohmann/json.hpp>

namespace LibraryTests {

class NoScreens : public KivDesktopBackground::ScreenSource
{
public:
    QList<KivDesktopBackground::ScreenInfo> screens() const override { return {}; }
};

// A home with a store, wallpapers folder, scripted choosers and random numbers, and no screens.
class LibraryTest : public TestSupport::TempHomeTest
{
protected:
    LibraryTest()
        : saved(BackgroundLibraryServices::shared())
    {
        BackgroundLibraryServices &services = BackgroundLibraryServices::shared();
        services.wallpapersFolder = [this] {
            return wallpapers();
        };
        services.chooseImageFiles = [this](QWidget *) {
            return std::exchange(chosenFiles, {});
        };
        services.choosePhotos = [this](QWidget *) {
            return std::exchange(chosenPhotos, {});
        };
        services.uniform = [this](double low, double high) {
            const double fraction = randomFractions.isEmpty() ? 0.5 : randomFractions.takeFirst();
            return low + fraction * (high - low);
        };
        setSharedDesktopBackgroundController(&desktop);
        // The shipped profiles stay out of these stores.
        Platform::UserDefaults::standard().setValue(PredefinedProfileController::didImportKey, true);
    }
    ~LibraryTest() override
    {
        BackgroundLibraryServices::shared() = saved;
        setSharedDesktopBackgroundController(nullptr);
    }

    QString wallpapers() const { return home.filePath("Wallpapers"); }

    // A stored profile with a background option holding `value`.
    Option *backgroundOption(const QString &value = QString())
    {
        Profile *profile = context->insert(std::make_unique<Profile>(QStringLiteral("Work")));
        Option *option = profile->findOrCreateOption(BackgroundOptionModel::optionKey());
        option->setValue(value);
        return option;
    }

    CustomBackground *addRecord(CustomBackground::Kind kind, const QString &value)
    {
        auto *record = context->insert(std::make_unique<CustomBackground>(kind, value));
        context->save();
        return record;
    }

    QList<CustomBackground *> stored(CustomBackground::Kind kind)
    {
        return context->fetchBackgroundsOfType(CustomBackground::toRawValue(kind));
    }

    static nlohmann::json decoded(const QString &text) { return nlohmann::json::parse(text.toStdString()); }

    static QStringList entries(const QMenu *menu)
    {
        QStringList texts;
        for (QAction *action : menu->actions())
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        return texts;
    }
    static void trigger(QMenu *menu, const QString &text)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == text) {
                action->trigger();
                return;
            }
        }
        ADD_FAILURE() << "no menu entry " << text.toStdString();
    }

    static void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }

    BackgroundLibraryServices saved;
    QStringList chosenFiles;
    QStringList chosenPhotos;
    QList<double> randomFractions;
    KivDesktopBackground::DesktopBackgroundController desktop {std::make_unique<NoScreens>()};
    ModelContainer container {home.filePath("data.sqlite")};
    ModelContext *context = container.mainContext();
};

} // namespace LibraryTests
