#pragma once

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"

#include <QCoro/QCoroTimer>
#include <QLabel>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace EngineTests {

// The identifiers of the registered options, in registry order.
inline const QStringList registryKeys =
    QStringLiteral(
        "system.ui.appearance system.desktop.liquidGlassStyle system.desktop.background.picture "
        "system.ui.accentColor system.finder.folderColor system.desktop.iconAndWidgetStyle "
        "system.desktop.dock.enableMagnification system.dock.position system.dock.size "
        "system.desktop.dock.autoHide system.misc.autoHideMenuBar system.desktop.stageManager.enable "
        "system.ui.desktop.ShowIcons system.ui.desktop.ShowWidgets dt.Xcode.theme "
        "com.apple.Terminal.DefaultTheme com.apple.Terminal.StartupTheme tools.iterm.theme "
        "apps.corvella.theme apps.lumapad.theme apps.lumapad.showBackground apps.forklift.theme "
        "apps.alfred.theme apps.obsidian.theme apps.obsidian.accentColor apps.vscode.theme "
        "apps.bear.theme apps.noteplan.theme")
        .split(u' ');

// Gives the profile every registered option but those left out, each with the value "on": the
// engine applies only the options a profile holds with a value.
inline void holdEveryOption(Profile *profile, const QStringList &leftOut = {})
{
    for (const QString &key : registryKeys) {
        if (!leftOut.contains(key))
            profile->findOrCreateOption(key)->setValue(QStringLiteral("on"));
    }
}

// What every recording model of one registry did, in order: "apply <key>=<value> @<profile name>"
// and "read <key>".
struct Journal
{
    QStringList entries;
};

// An option model under a real key that records its calls and does what the test asks.
class RecordingOptionModel : public OptionModel
{
public:
    RecordingOptionModel(QString key, std::shared_ptr<Journal> journal)
        : m_key(std::move(key))
        , m_journal(std::move(journal))
    { }

    QStringList displayPath() const override { return {"Test", m_key}; }
    QString key() const override { return m_key; }
    // A label with the key when `makesPicker` is set; none otherwise.
    QWidget *makePicker(Option *, Profile *, QWidget *parent) override
    {
        return makesPicker ? new QLabel(m_key, parent) : nullptr;
    }

    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override
    {
        m_journal->entries.append("apply " + m_key + "=" + value + " @" + (profile ? profile->name() : "-"));
        if (delay.count() > 0)
            co_await QCoro::sleepFor(delay);
        if (onApply)
            onApply();
        if (setsDockRestart)
            *needsDockRestart = true;
        if (fails)
            throw OptionModelError(m_key, failure);
    }

    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile>) override
    {
        m_journal->entries.append("read " + m_key);
        if (delay.count() > 0)
            co_await QCoro::sleepFor(delay);
        if (onRead)
            onRead();
        // A copy: co_return of the member itself would move it away.
        std::optional<QString> value = currentValue;
        co_return value;
    }

    std::chrono::milliseconds delay {0};
    bool setsDockRestart = false;
    bool fails = false;
    QString failure = "refused"; // the error's text when it fails
    bool makesPicker = false;
    std::optional<QString> currentValue = QStringLiteral("current");
    std::function<void()> onApply;
    std::function<void()> onRead;

private:
    QString m_key;
    std::shared_ptr<Journal> m_journal;
};

// A registry of 28 recording models under the registered keys.
struct RecordingRegistry
{
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    QList<RecordingOptionModel *> models;
    OptionStore store {[this] {
        std::vector<std::unique_ptr<OptionModel>> made;
        for (const QString &key : registryKeys) {
            auto model = std::make_unique<RecordingOptionModel>(key, journal);
            models.append(model.get());
            made.push_back(std::move(model));
        }
        return made;
    }};

    RecordingRegistry() { store.options(); }

    RecordingOptionModel *model(const QString &key) const
    {
        for (RecordingOptionModel *model : models) {
            if (model->key() == key)
                return model;
        }
        return nullptr;
    }
};

} // namespace EngineTests
