#include "Tapestrel/tests/apps/vscode/VSCodeFixture.h"

#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"
#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"

#include "platform/PropertyList.h"
#include "testsupport/OutsideWriter.h"

#include <thread>

using namespace std::chrono_literals;
using TestSupport::OutsideWriter;

namespace {

// Applies themes to the files of three applications that save in place: VS Code's settings, an
// Obsidian vault's appearance and Terminal's preferences, each holding the user's 50 settings.
class OutsideSaveTest : public VSCodeFixture
{
protected:
    struct Kind
    {
        const char *name;
        QString path;
        OptionModel &model;
        QString value; // the theme applied
        QString key; // where the file holds it
        std::function<QByteArray(const QVariantMap &settings)> format;
        std::function<QVariantMap(const QByteArray &bytes)> parse;
        bool editedHere; // not by the defaults tool, a process of its own
    };

    QList<Kind> kinds()
    {
        const auto json = [](const QVariantMap &settings) {
            return QJsonDocument(QJsonObject::fromVariantMap(settings)).toJson();
        };
        const auto fromJson = [](const QByteArray &bytes) {
            return QJsonDocument::fromJson(bytes).object().toVariantMap();
        };
        const QString vault = home.filePath("Vaults/Work");
        home.writeFile("Library/Application Support/obsidian/obsidian.json",
                       R"({"vaults":{"w":{"path":")" + vault.toUtf8() + R"(","ts":10}}})");
        return {
            {"settings.json", settingsFile(VSCodeProfile::defaultProfile()), vscode, "Abyss",
             "workbench.colorTheme", json, fromJson, true},
            {"appearance.json", vault + "/.obsidian/appearance.json", obsidian, "Minimal", "cssTheme", json,
             fromJson, true},
            {"the Terminal domain", home.filePath("Library/Preferences/com.apple.Terminal.plist"), terminal,
             "Homebrew", "Default Window Settings",
             [](const QVariantMap &settings) { return Platform::PropertyList::toBinary(settings); },
             [](const QByteArray &bytes) {
                 return Platform::PropertyList::parseDictionary(bytes).value_or(QVariantMap());
             },
             false},
        };
    }

    // Lays the file out holding the user's settings.
    static void lay(const Kind &kind, const QVariantMap &settings)
    {
        QDir().mkpath(QFileInfo(kind.path).absolutePath());
        OutsideWriter::writeInPlace(kind.path, kind.format(settings));
    }
    QVariantMap parsed(const Kind &kind) const
    {
        return kind.parse(home.readFile(QDir(home.path()).relativeFilePath(kind.path)));
    }
    static QVariantMap with(QVariantMap settings, const QString &key, const QString &value)
    {
        settings.insert(key, value);
        return settings;
    }

    VSCodeThemeOptionModel vscode {registries.appConfigStore().requireConfig<VSCodeAppConfig>()};
    ObsidianThemeOptionModel obsidian {nullptr};
    DefaultTerminalThemeOptionModel terminal {registries.appConfigStore().requireConfig<TerminalAppConfig>(),
                                              "Default Window Settings"};
    const QVariantMap users = [] {
        QVariantMap settings;
        for (int i = 0; i < 50; ++i)
            settings.insert(QStringLiteral("user.setting%1").arg(i), QStringLiteral("value %1").arg(i));
        return settings;
    }();
};

} // namespace

// The user's settings are never written over while another program is saving them, however often
// the apply is tried and whether or not the program saw them before; a file empty for long is empty.
TEST_F(OutsideSaveTest, AnotherProgramsSaveInPlaceIsWaitedForAndNeverWrittenOver)
{
    const TestSupport::SettleTime settle(1s);
    struct Case
    {
        const char *name;
        // What the other program has written when the applies come (`kept` is its whole save), and
        // how long ago it wrote it.
        std::function<QByteArray(const QByteArray &kept)> written;
        int age;
        bool earlierApply; // an apply comes during the stall, waits for it and refuses
        bool completed; // the other program completes its save while the last apply waits
    };
    const QList<Case> cases {
        {"an in-place save that stalls past one apply, completed during the next",
         [](const QByteArray &) { return QByteArray(); }, 0, true, true},
        {"stalled longer than the settling time when the first apply comes",
         [](const QByteArray &) { return QByteArray(); }, 2, false, true},
        {"half written, completed later", [](const QByteArray &kept) { return kept.left(kept.size() / 2); },
         0, false, true},
        {"empty for more than a minute", [](const QByteArray &) { return QByteArray(); }, 120, false, false},
    };
    for (const Kind &kind : kinds()) {
        for (const Case &test : cases) {
            SCOPED_TRACE(std::string(kind.name) + ": " + test.name);
            const QByteArray kept = kind.format(users);
            lay(kind, users);
            // The program read the file holding the user's settings: no reason to trust it less, or
            // more, when it holds nothing.
            read(kind.model);
            OutsideWriter::writeInPlace(kind.path, test.written(kept));
            OutsideWriter::age(kind.path, test.age);
            if (test.earlierApply) {
                EXPECT_TRUE(applyError(kind.model, kind.value)
                                .contains("ago and another program may still be saving it"));
                EXPECT_EQ(QFile(kind.path).size(), 0);
            }
            std::thread saver;
            if (test.completed) {
                saver = std::thread([&] {
                    std::this_thread::sleep_for(500ms);
                    OutsideWriter::writeInPlace(kind.path, kept);
                });
            }
            const QString error = applyError(kind.model, kind.value);
            if (saver.joinable())
                saver.join();
            EXPECT_EQ(error, "");
            EXPECT_EQ(parsed(kind), with(test.completed ? users : QVariantMap(), kind.key, kind.value));
            EXPECT_FALSE(QFileInfo::exists(kind.path + ".corrupt"));
        }
    }
}

// Another program's save between an apply's read and its rename is kept and the apply's change made
// on it (the edit's other races are the atomic file's, tested with it); a program that saves each time
// the apply is about to replace the file fails the apply, which names the file, and its last save stays.
TEST_F(OutsideSaveTest, ASaveDuringAnApplyIsKeptAndTheChangeIsMadeOnIt)
{
    using Step = OutsideWriter::Step;
    const QVariantMap saved = with(users, "their.change", "saved");
    for (const Kind &kind : kinds()) {
        if (!kind.editedHere)
            continue;
        SCOPED_TRACE(kind.name);
        lay(kind, users);
        {
            OutsideWriter other(kind.path);
            other.at(Step::Replacing, 1, [&] { OutsideWriter::writeInPlace(kind.path, kind.format(saved)); });
            EXPECT_EQ(applyError(kind.model, kind.value), "");
            EXPECT_EQ(other.count(Step::Replacing), 2);
        }
        EXPECT_EQ(parsed(kind), with(saved, kind.key, kind.value));

        lay(kind, users);
        OutsideWriter other(kind.path);
        int saves = 0;
        other.always(Step::Replacing, [&] {
            OutsideWriter::writeInPlace(kind.path, "{\"n\": " + QByteArray::number(++saves) + "}");
        });
        EXPECT_TRUE(applyError(kind.model, kind.value).contains(kind.path));
        EXPECT_EQ(home.readFile(QDir(home.path()).relativeFilePath(kind.path)),
                  "{\"n\": " + QByteArray::number(saves) + "}");
    }
}
