#include "Tapestrel/background/AddImageButton.h"

#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/background/BackgroundButtons.h"
#include "Tapestrel/background/BackgroundLibraryServices.h"
#include "Tapestrel/background/ImageContentType.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContext.h"
#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
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

// Streams a picture into "<stem>.<extension>", the extension following what the picture holds, and
// gives the path written; nothing when it could not be read or written. Runs off the GUI thread.
std::optional<QString> writePhoto(const QString &source, const QString &stem)
{
    QFile in;
    if (Platform::RegularFile::open(in, source))
        return std::nullopt;
    const QString destination =
        stem + u'.' + ImageContentType::extensionFor(source, in.peek(ImageContentType::headLength));
    Platform::AtomicFile out(destination);
    if (!out.open())
        return std::nullopt;
    QByteArray chunk;
    while (!(chunk = in.read(1 << 20)).isEmpty()) {
        if (!out.write(chunk))
            return std::nullopt;
    }
    if (in.error() != QFileDevice::NoError || !out.commit())
        return std::nullopt;
    return destination;
}

} // namespace

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
    // A named pipe or a device chosen in place of a picture would keep the copy waiting.
    if (wallpapersFolderPath().isEmpty() || !QFileInfo(filePath).isFile())
        return std::nullopt;
    const QString destination = newWallpaperFilePath(extensionOf(filePath));
    const QString folder = QDir::cleanPath(QFileInfo(filePath).absolutePath());
    if (folder == wallpapersFolderPath())
        return QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
    ensureWallpapersFolder();
    if (QFileInfo::exists(destination) && !QFile::remove(destination))
        return std::nullopt;
    if (!QFile::copy(filePath, destination))
        return std::nullopt;
    // A copy of a read-only file is the user's own to change or remove.
    QFile::setPermissions(destination, QFile::permissions(destination) | QFileDevice::WriteOwner);
    return destination;
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

CustomBackground *AddImageButton::addImageBackground(const QString &filePath)
{
    if (!m_modelContext)
        return nullptr;
    const std::optional<QString> stored = importImageFile(filePath);
    return stored ? addRecord(m_modelContext, *stored) : nullptr;
}

void AddImageButton::chooseImageFiles()
{
    const QStringList files = BackgroundLibraryServices::shared().chooseImageFiles(window());
    for (const QString &file : files)
        addImageBackground(file);
}

void AddImageButton::choosePhotos()
{
    const QStringList files = BackgroundLibraryServices::shared().choosePhotos(window());
    if (!files.isEmpty())
        KivUtilities::detached(importSelectedPhotos(files), "AddImageButton photos");
}

QCoro::Task<void> AddImageButton::importSelectedPhotos(QStringList filePaths)
{
    return importPhotos(QPointer<AddImageButton>(this), m_modelContext, std::move(filePaths));
}

QCoro::Task<void> AddImageButton::importPhotos(QPointer<AddImageButton> self, QPointer<ModelContext> context,
                                               QStringList filePaths)
{
    if (wallpapersFolderPath().isEmpty())
        co_return;
    for (const QString &source : filePaths) {
        const QString stem = newWallpaperFileStem();
        ensureWallpapersFolder();
        const std::optional<QString> written = co_await QtConcurrent::run(writePhoto, source, stem);
        // The store went away while the picture was written: nothing is recorded or left behind.
        if (!context) {
            if (written)
                QFile::remove(*written);
            co_return;
        }
        if (written)
            addRecord(context, *written);
    }
    if (self)
        emit self->photosImported();
}
