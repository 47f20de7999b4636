#include "Tapestrel/background/BackgroundLibraryServices.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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

// Where the file choosers open: the pictures folder, else the home folder. A dialog given a folder
// that does not exist would open in the working folder, wherever the program was started from.
QString picturesFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
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
            picturesFolder(), imageFilter());
    };
    services.choosePhotos = [](QWidget *parent) {
        // The pictures folder stands in for the photo library.
        return QFileDialog::getOpenFileNames(parent,
                                             QCoreApplication::translate("AddImageButton", "Add Photo"),
                                             picturesFolder(), imageFilter());
    };
    services.uniform = [](double low, double high) {
        return low + QRandomGenerator::system()->generateDouble() * (high - low);
    };
    return services;
}
