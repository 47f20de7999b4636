#pragma once

#include "Tapestrel/Registries.h"
#include "Tapestrel/apps/frame/ThemePicker.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

#include "platform/CloudKeyValueStore.h"
#include "platform/DistributedNotifications.h"
#include "platform/ScriptHost.h"
#include "platform/UserDefaults.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace ThemeTests {

using Runs = QList<QStringList>;

// The names of a list of themes (or of anything else with a `name`), in order.
template<typename T> QStringList names(const QList<T> &items)
{
    QStringList result;
    result.reserve(items.size());
    for (const T &item : items)
        result.append(item.name);
    return result;
}

// A fresh emulated home, the program's application records, emptied records of tool runs, scripts
// and notifications, and helpers that drive a theme option model the way the profile engine does.
class ThemeAppTest : public TestSupport::TempHomeTest
{
protected:
    ThemeAppTest()
    {
        SystemOptionDefaults::clearHistory();
        Platform::ScriptHost::shared().clearHistory();
        Platform::DistributedNotifications::defaultCenter().clearPosted();
    }

    void apply(OptionModel &model, const QString &value, Profile *profile = nullptr)
    {
        auto flag = std::make_shared<bool>(false);
        TestSupport::runTask(model.apply(value, QPointer<Profile>(profile), flag));
        EXPECT_FALSE(*flag) << "theme options never ask for a Dock restart";
    }

    std::optional<QString> read(OptionModel &model)
    {
        return TestSupport::runTask(model.readCurrentValue({}));
    }

    // What an apply that fails says; the empty text when it succeeds.
    QString applyError(OptionModel &model, const QString &value)
    {
        try {
            apply(model, value);
        } catch (const OptionModelError &error) {
            EXPECT_EQ(error.key(), model.key()) << "the failure names its own setting";
            return error.message();
        } catch (const std::exception &error) {
            return QString::fromUtf8(error.what());
        }
        return {};
    }

    // The picker the editor makes for `model`, its option holding `value`; it lives as long as the test.
    ThemePicker *picker(OptionModel &model, const QString &value = QString())
    {
        Option *option = pickerProfile.findOrCreateOption(model.key());
        option->setValue(value);
        pickers.emplace_back(model.makePicker(option, &pickerProfile, nullptr));
        auto *made = qobject_cast<ThemePicker *>(pickers.back().get());
        EXPECT_NE(made, nullptr) << model.key().toStdString();
        return made;
    }

    // A picker's entries as their titles ("-" for a divider), with "=value" after each row's when asked.
    static QStringList titles(const ThemePicker *picker, bool withValues = false)
    {
        QStringList result;
        for (const ThemePicker::Entry &entry : picker->entries()) {
            const bool row = entry.kind == ThemePicker::Entry::Kind::row;
            result.append(entry.kind == ThemePicker::Entry::Kind::divider ? QStringLiteral("-")
                              : row && withValues                         ? entry.title + u'=' + entry.value
                                                                          : entry.title);
        }
        return result;
    }

    // The defaults-tool writes since the last call, as argument lists.
    static Runs takeWrites()
    {
        const Runs runs = SystemOptionDefaults::history();
        SystemOptionDefaults::clearHistory();
        return runs;
    }

    static QStringList takeScripts()
    {
        const QStringList scripts = Platform::ScriptHost::shared().history();
        Platform::ScriptHost::shared().clearHistory();
        return scripts;
    }

    static QStringList takeNotifications()
    {
        QStringList names;
        for (const auto &notification : Platform::DistributedNotifications::defaultCenter().posted())
            names.append(notification.name);
        Platform::DistributedNotifications::defaultCenter().clearPosted();
        return names;
    }

    // The system appearance that EnvironmentInfo reports.
    static void setDark(bool dark)
    {
        Platform::UserDefaults &global = Platform::UserDefaults::global();
        if (dark)
            global.setValue(QStringLiteral("AppleInterfaceStyle"), QStringLiteral("Dark"));
        else
            global.remove(QStringLiteral("AppleInterfaceStyle"));
        global.synchronize();
    }

    void installApp(const QString &name, const QString &bundleID) const { home.installApp(name, bundleID); }

    // Writes one value of another application's preference domain to its file.
    static void writeDomain(const QString &domain, const QString &key, const QVariant &value)
    {
        Platform::UserDefaults *suite = Platform::UserDefaults::suite(domain);
        ASSERT_NE(suite, nullptr);
        suite->setValue(key, value);
        ASSERT_TRUE(suite->synchronize());
    }

    static std::unique_ptr<Profile> profileWith(const QString &key, const QString &value)
    {
        auto profile = std::make_unique<Profile>(QStringLiteral("Themes"));
        profile->findOrCreateOption(key)->setValue(value);
        return profile;
    }

    Registries registries;
    Profile pickerProfile {QStringLiteral("P")};
    std::vector<std::unique_ptr<QWidget>> pickers;
};

// What the editor's sections need besides: the shared option store, a store of synchronised options
// and a profile.
template<typename Base = ThemeAppTest> class SectionTest : public Base
{
protected:
    SectionTest() { OptionStore::setShared(&this->registries.optionStore()); }
    ~SectionTest() override { OptionStore::setShared(nullptr); }

    Platform::CloudKeyValueStore cloud {this->home.filePath(QStringLiteral("cloud.plist"))};
    SynchronizedOptionsStore options {cloud};
    Profile profile {QStringLiteral("Evening")};
};

} // namespace ThemeTests
