#pragma once

#include "testsupport/ScopedVariable.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace TestSupport {

// Points TAPESTREL_HOME and TEST at a fresh temporary folder for the lifetime of the object and
// restores the previous environment afterwards, so no test ever reaches the real home folder.
// XDG_CONFIG_HOME goes to a fresh folder of its own as well: the program keeps its login entry
// there, which the programs that tests start would otherwise read and bring up to date.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    // The emulated home folder.
    QString path() const;
    // path() joined with a relative path.
    QString filePath(const QString &relative) const;
    // Writes bytes to a file below the home, creating its folders.
    void writeFile(const QString &relative, const QByteArray &bytes) const;
    QByteArray readFile(const QString &relative) const;
    // An application bundle with its identifier, as the workspace finds installed applications.
    void installApp(const QString &name, const QString &bundleID) const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldTest;
    bool m_hadHome;
    bool m_hadTest;
    QTemporaryDir m_config;
    ScopedVariable m_configVariable {"XDG_CONFIG_HOME", QFile::encodeName(m_config.path())};
};

// A test fixture that gives every test its own emulated home.
class TempHomeTest : public ::testing::Test
{
protected:
    TempHome home;
};

} // namespace TestSupport
