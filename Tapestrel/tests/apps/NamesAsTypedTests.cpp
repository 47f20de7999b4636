#include "Tapestrel/tests/apps/vscode/VSCodeFixture.h"

#include "KivUtilities/PlainToolTip.h"
#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"
#include "Tapestrel/apps/obsidian/ObsidianSection.h"
#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "Tapestrel/apps/obsidian/ObsidianSettingsView.h"
#include "Tapestrel/apps/obsidian/ObsidianThemePicker.h"
#include "Tapestrel/apps/vscode/VSCodeSection.h"
#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeSettingsView.h"
#include "platform/UserDefaults.h"

#include <QLabel>
#include <QTextDocumentFragment>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

using NamesAsTypedTest = ThemeTests::SectionTest<VSCodeFixture>;

// A label renders its text as typed when it is plain text; its text is then what the user reads.
void expectPlain(const QLabel *label, const QString &shown)
{
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << shown.toStdString();
    EXPECT_EQ(label->text(), shown);
}

} // namespace

TEST_F(NamesAsTypedTest, VaultProfileAndFileNamesWithMarkupShowAsTyped)
{
    // An Obsidian vault whose folder name looks like markup.
    installApp("Obsidian", "md.obsidian");
    const QString vault = QStringLiteral("<i>Notes & Co");
    QDir().mkpath(home.filePath("Vaults/" + vault));
    home.writeFile("Library/Application Support/obsidian/obsidian.json",
                   QStringLiteral(R"({"vaults":{"v":{"path":"%1","ts":1}}})")
                       .arg(home.filePath("Vaults/" + vault))
                       .toUtf8());
    Platform::UserDefaults::standard().setValue(ObsidianSelectedVaultController::vaultIDKey, "v");
    ObsidianSection obsidian(&profile, registries.appConfigStore().requireConfig<ObsidianAppConfig>(),
                             &options);
    ASSERT_TRUE(obsidian.isPresent());
    expectPlain(obsidian.footerLabel(), "Chosen vault: " + vault);
    expectPlain(obsidian.titleLabel(), "Obsidian");
    obsidian.settingsButton()->click();
    ASSERT_NE(obsidian.settingsView(), nullptr);
    EXPECT_EQ(obsidian.settingsView()->findChild<QLabel *>("footer")->textFormat(), Qt::PlainText);
    obsidian.settingsView()->accept();

    // A VS Code profile with markup and an ampersand in its name.
    installApp("Visual Studio Code", "com.microsoft.VSCode");
    const VSCodeProfile night {QStringLiteral("-9"), QStringLiteral("<b>Night</b> & Day"), false};
    writeProfiles({night});
    Platform::UserDefaults::standard().setValue(VSCodeSelectedProfileController::profileIDKey, night.id);
    QWidget tab;
    tab.setLayout(new QVBoxLayout);
    auto *code = qobject_cast<VSCodeSection *>(
        registries.appConfigStore().requireConfig<VSCodeAppConfig>()->makeSection(&profile, &options, &tab));
    ASSERT_NE(code, nullptr);
    tab.layout()->addWidget(code);
    ASSERT_TRUE(code->isPresent());
    expectPlain(code->footerLabel(), "Chosen profile: " + night.name);
    expectPlain(code->titleLabel(), "Visual Studio Code");

    // File paths in tool tips: ordinary ones stay as they are, ones that look like markup read back as typed.
    EXPECT_EQ(KivUtilities::plainToolTip("/home/me/Pictures/a & b.png"), "/home/me/Pictures/a & b.png");
    const QString marked = QStringLiteral("Image not found at: /tmp/<b>bold</b> & <i>.png");
    EXPECT_EQ(QTextDocumentFragment::fromHtml(KivUtilities::plainToolTip(marked)).toPlainText(), marked);
}
