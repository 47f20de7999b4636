#include "Tapestrel/background/AddImageButton.h"

#include "KivDesktopBackground/PictureOrigin.h"
#include "KivDesktopBackground/PictureProtocol.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/background/BackgroundButtons.h"
#include "Tapestrel/background/BackgroundLibraryServices.h"
#include "Tapestrel/background/ImageContentType.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContext.h"
#include "platform/Alerts.h"
#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

using KivDesktopBackground::Background;
using KivUtilities::Symbols;

namespace {

QString extensionOf(const QString &filePath)
{
    const QString suffix = QFileInfo(filePath).suffix();
    return suffix.isEmpty() ? QStringLiteral("jpg") : suffix;
}

// Opens a chosen picture, unless it is no regular file (a named pipe or a device would keep the copy
// waiting) or too large to be shown; why not, when it was not opened.
std::optional<QString> openChosen(QFile &file, const QString &path)
{
    return Platform::RegularFile::open(file, path, KivDesktopBackground::PictureProtocol::maxBytes);
}

// Whether the person hears why a chosen file was left out: not when it is simply gone.
bool isWorthTelling(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Streams what `in`, the file at `source`, holds into `destination`, which is written whole or not at
// all and notes where it came from: a picture that cannot be shown is named by the file the person
// added.
bool copyInto(QFile &in, const QString &source, const QString &destination)
{
    Platform::AtomicFile out(destination);
    if (!out.open())
        return false;
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (!out.write(chunk))
            return false;
    }
    if (in.error() != QFileDevice::NoError || !out.commit())
        return false;
    KivDesktopBackground::PictureOrigin::recordOrigin(destination, source);
    return true;
}

// What became of a chosen picture: the path to store, or why it was left out (nothing when it is
// simply gone or could not be copied).
struct PictureWritten
{
    std::optional<QString> path;
    std::optional<QString> refusal;
};

// Streams a picture into "<stem>.<extension>", the extension following what the picture holds, and
// gives the path written; nothing when it could not be read or written. Runs off the GUI thread.
PictureWritten writePhoto(const QString &source, const QString &stem)
{
    QFile in;
    if (const std::optional<QString> failure = openChosen(in, source))
        return {std::nullopt, isWorthTelling(source) ? failure : std::nullopt};
    const QString destination =
        stem + u'.' + ImageContentType::extensionFor(source, in.peek(ImageContentType::headLength));
    if (!copyInto(in, source, destination))
        return {};
    return {destination, std::nullopt};
}

// An image file for `folder`, the wallpapers folder: the file itself when it already lies there,
// otherwise a copy streamed into `destination` from the file that was looked at (a pipe put in its
// place meanwhile is never opened). Runs off the GUI thread, which alone may ask where the folder is.
PictureWritten writeImage(const QString &source, const QString &folder, const QString &destination)
{
    QFile chosen;
    if (const std::optional<QString> failure = openChosen(chosen, source))
        return {std::nullopt, isWorthTelling(source) ? failure : std::nullopt};
    if (QDir::cleanPath(QFileInfo(source).absolutePath()) == folder)
        return {QDir::cleanPath(QFileInfo(source).absoluteFilePath()), std::nullopt};
    if (QFileInfo::exists(destination) && !QFile::remove(destination))
        return {};
    if (!copyInto(chosen, source, destination))
        return {};
    // A copy of a read-only file is the user's own to change or remove.
    QFile::setPermissions(destination, QFile::permissions(destination) | QFileDevice::WriteOwner);
    return {destination, std::nullopt};
}

} // namespace

void AddImageButton::tellLeftOut(const QList<LeftOut> &leftOut, QWidget *parent)
{
    if (leftOut.isEmpty())
        return;
    Platform::Alert alert;
    alert.message = leftOut.size() == 1
        ? tr("The picture “%1” could not be added.").arg(QFileInfo(leftOut.constFirst().path).fileName())
        : tr("%1 pictures could not be added.").arg(leftOut.size());
    QStringList lines;
    for (const LeftOut &file : leftOut)
        lines.append(QStringLiteral("%1: %2").arg(file.path, file.reason));
    alert.informativeText = lines.join(u'\n');
    alert.buttons = {tr("OK")};
    Platform::Alerts::run(alert, parent);
}

AddImageButton::AddImageButton(ModelContext *modelContext, QWidget *parent)
    : AddImageLabel(parent)
    , m_modelContext(modelContext)
    , m_menu(new QMenu(this))
{
    setObjectName(QStringLiteral("AddImageButton"));
    QAction *addImage =
        m_menu->addAction(Symbols::icon(QStringLiteral("photo.on.rectangle.angled")), tr("Add Image"));
    addImage->setProperty(Symbols::propertyName, QStringLiteral("photo.on.rectangle.angled"));
    connect(addImage, &QAction::triggered, this, &AddImageButton::chooseImageFiles);
    QAction *addPhoto =
        m_menu->addAction(Symbols::icon(QStringLiteral("photo.on.rectangle")), tr("Add Photo"));
    addPhoto->setProperty(Symbols::propertyName, QStringLiteral("photo.on.rectangle"));
    connect(addPhoto, &QAction::triggered, this, &AddImageButton::choosePhotos);
    connect(this, &QAbstractButton::clicked, this,
            [this] { m_menu->popup(mapToGlobal(QPoint(0, height()))); });
}

QString AddImageButton::wallpapersFolderPath()
{
    return QDir::cleanPath(BackgroundLibraryServices::shared().wallpapersFolder());
}

QString AddImageButton::newWallpaperFilePath(const QString &extension)
{
    return newWallpaperFileStem() + u'.' + extension;
}

QString AddImageButton::newWallpaperFileStem()
{
    return wallpapersFolderPath() + QStringLiteral("/Photo-")
        + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

void AddImageButton::ensureWallpapersFolder()
{
    const QString folder = wallpapersFolderPath();
    if (!QFileInfo::exists(folder))
        QDir().mkpath(folder);
}

std::optional<QString> AddImageButton::importImageFile(const QString &filePath)
{
    const QString folder = wallpapersFolderPath();
    if (folder.isEmpty())
        return std::nullopt;
    ensureWallpapersFolder();
    return writeImage(filePath, folder, newWallpaperFilePath(extensionOf(filePath))).path;
}

CustomBackground *AddImageButton::addRecord(ModelContext *context, const QString &storedPath)
{
    if (!context)
        return nullptr;
    const QString value = Background::image(QUrl::fromLocalFile(storedPath)).rawValue();
    auto *record = context->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Image, value));
    saveIgnoringErrors(context);
    return record;
}

void AddImageButton::chooseImageFiles()
{
    const QStringList files = BackgroundLibraryServices::shared().chooseImageFiles(window());
    if (!files.isEmpty())
        KivUtilities::detached(importPictures(this, m_modelContext, files, Kind::Images),
                               "AddImageButton images");
}

void AddImageButton::choosePhotos()
{
    const QStringList files = BackgroundLibraryServices::shared().choosePhotos(window());
    if (!files.isEmpty())
        KivUtilities::detached(importSelectedPhotos(files), "AddImageButton photos");
}

QCoro::Task<void> AddImageButton::importSelectedPhotos(QStringList filePaths)
{
    return importPictures(this, m_modelContext, std::move(filePaths), Kind::Photos);
}

QCoro::Task<void> AddImageButton::importPictures(QPointer<AddImageButton> self,
                                                 QPointer<ModelContext> context, QStringList filePaths,
                                                 Kind kind)
{
    if (wallpapersFolderPath().isEmpty())
        co_return;
    QList<LeftOut> leftOut;
    for (const QString &source : filePaths) {
        ensureWallpapersFolder();
        // Copied off the GUI thread: a picture may be hundreds of megabytes on a slow disk. (Not a
        // co_await in each branch of a conditional: GCC 12 frees such a result before its last use.)
        QFuture<PictureWritten> writing = kind == Kind::Photos
            ? QtConcurrent::run(writePhoto, source, newWallpaperFileStem())
            : QtConcurrent::run(writeImage, source, wallpapersFolderPath(),
                                newWallpaperFilePath(extensionOf(source)));
        const PictureWritten written = co_await std::move(writing);
        // The store went away while the picture was written: nothing is recorded or left behind (a
        // picture that already lay in the folder is the user's and stays).
        if (!context) {
            if (written.path && *written.path != QDir::cleanPath(QFileInfo(source).absoluteFilePath()))
                QFile::remove(*written.path);
            co_return;
        }
        if (written.path)
            addRecord(context, *written.path);
        else if (written.refusal)
            leftOut.append({source, *written.refusal});
    }
    if (!self)
        co_return;
    // From the event loop: a modal alert inside this resumption would nest an event loop in it.
    if (!leftOut.isEmpty())
        QTimer::singleShot(0, self, [self, leftOut] { tellLeftOut(leftOut, self->window()); });
    if (kind == Kind::Photos)
        emit self->photosImported();
    else
        emit self->imagesImported();
}
