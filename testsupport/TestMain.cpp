#include <QApplication>
#include <QtGlobal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Widget tests run without a display unless a test asks for a real one (the x11 label).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tapestrel"));
    QApplication::setOrganizationDomain(QStringLiteral("quorvane.com"));
    return RUN_ALL_TESTS();
}
