#include "Tapestrel/background/BackgroundLibraryServices.h"

#include <QFileDialog>
#include <QImageReader>
#include <QRandomGenerator>
#include <QStandardPaths>

namespace {

QString imageFilter()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(format));
    return QCoreApplication::translate("BackgroundLibraryServices", "Images") + QStringLiteral(" (")
        + patterns.join(u' ') + QStringLiteral(")");
}

} // namespace

BackgroundLibraryServices &BackgroundLibraryServices::shared()
{
    static BackgroundLibraryServices services = defaults();
    return services;
}

BackgroundLibraryServices BackgroundLibraryServices::defaults()
{
    BackgroundLibraryServices services;
    // The main controller hands in the program's folder; until then there is none, and nothing is
    // listed, imported or copied.
    services.wallpapersFolder = [] { return QString(); };
    services.chooseImageFiles = [](QWidget *parent) {
        return QFileDialog::getOpenFileNames(
            parent, QCoreApplication::translate("AddImageButton", "Select an Image", "Open Panel Title"),
            QString(), imageFilter());
    };
    services.choosePhotos = [](QWidget *parent) {
        // The pictures folder stands in for the photo library.
        return QFileDialog::getOpenFileNames(
            parent, QCoreApplication::translate("AddImageButton", "Add Photo"),
            QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), imageFilter());
    };
    services.uniform = [](double low, double high) {
        return low + QRandomGenerator::system()->generateDouble() * (high - low);
    };
    return services;
}
