#pragma once

#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/Profile.h"

#include "platform/DistributedNotifications.h"
#include "platform/ScriptHost.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QStringList>

#include <memory>

// A fresh emulated home with the script and notification records emptied, and helpers that drive
// an option model the way the profile engine does.
class SystemOptionTest : public TestSupport::TempHomeTest
{
protected:
    SystemOptionTest()
    {
        Platform::ScriptHost::shared().clearHistory();
        Platform::DistributedNotifications::defaultCenter().clearPosted();
    }
    ~SystemOptionTest() override { qunsetenv("TAPESTREL_REFUSE_AUTOMATION"); }

    // Applies a value and gives the Dock-restart flag it left.
    bool apply(OptionModel &model, const QString &value, Profile *profile = nullptr)
    {
        auto flag = std::make_shared<bool>(false);
        TestSupport::runTask(model.apply(value, QPointer<Profile>(profile), flag));
        return *flag;
    }

    // Applies a value that does not decode: true when the apply said so (and threw).
    bool refuses(OptionModel &model, const QString &value)
    {
        try {
            apply(model, value);
        } catch (const OptionModelError &error) {
            return error.message() == OptionModelError::unreadableValue(model.key(), value).message();
        }
        return false;
    }

    std::optional<QString> read(OptionModel &model, Profile *profile = nullptr)
    {
        return TestSupport::runTask(model.readCurrentValue(QPointer<Profile>(profile)));
    }

    // The scripts sent since the last call.
    QStringList takeScripts()
    {
        const QStringList scripts = Platform::ScriptHost::shared().history();
        Platform::ScriptHost::shared().clearHistory();
        return scripts;
    }

    QStringList takeNotifications()
    {
        QStringList names;
        for (const auto &notification : Platform::DistributedNotifications::defaultCenter().posted())
            names.append(notification.name);
        Platform::DistributedNotifications::defaultCenter().clearPosted();
        return names;
    }

    static void refuseAutomation() { qputenv("TAPESTREL_REFUSE_AUTOMATION", "1"); }

    static QString systemEvents(const QString &command)
    {
        return QStringLiteral("tell application \"System Events\"\n    ") + command
            + QStringLiteral("\nend tell");
    }
    static QString dock(const QString &command)
    {
        return systemEvents("tell dock preferences to " + command);
    }

    // The scripts that read and set the dark mode (the last two end in four blanks).
    static inline const QString getDark = systemEvents("tell appearance preferences to get dark mode");
    static inline const QString setDark =
        systemEvents("tell appearance preferences to set dark mode to yes") + "    ";
    static inline const QString setLight =
        systemEvents("tell appearance preferences to set dark mode to no") + "    ";
};
