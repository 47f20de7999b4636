#include "KivDesktopBackground/DesktopWallpaper.h"

#include "KivDesktopBackground/PicturePng.h"
#include "platform/LinuxDesktop.h"
#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QRegularExpression>

namespace KivDesktopBackground {

namespace {

// The chunk of a rendered picture that holds the background it shows.
const QByteArray backgroundKeyword = "Background";
// The screen size assumed when no screen says.
const QSize fallbackSize(1920, 1080);

QString translated(const char *message)
{
    return QCoreApplication::translate("DesktopWallpaper", message);
}

// Whether the path is a regular file that reads as a picture; a pipe or a device in its place is not
// waited on.
bool isPicture(const QString &path, QSize *size = nullptr, QString *text = nullptr)
{
    QFile file;
    if (Platform::RegularFile::open(file, path))
        return false;
    QImageReader reader(&file);
    if (!reader.canRead())
        return false;
    if (size)
        *size = reader.size();
    if (text)
        *text = reader.text(QString::fromLatin1(backgroundKeyword));
    return true;
}

bool isPictureName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^background-[0-9a-f]{40}\\.png$"));
    return pattern.match(name).hasMatch();
}

// What a colour with some transparency looks like on the desktop, which has nothing beneath it.
QColor opaque(const QColor &color)
{
    const QColor rgb = color.toRgb();
    const double alpha = rgb.alphaF();
    return QColor::fromRgbF(float(rgb.redF() * alpha), float(rgb.greenF() * alpha),
                            float(rgb.blueF() * alpha));
}

PicturePng::DrawStrip drawing(const Background &background, const QSize &pixelSize)
{
    if (background.kind() == Background::Kind::linearGradient) {
        const QRect whole(QPoint(0, 0), pixelSize);
        const QLinearGradient gradient = background.gradient()->gradientFor(whole);
        return [gradient, whole](QImage &strip, int top) {
            if (gradient.stops().isEmpty())
                return;
            QPainter painter(&strip);
            painter.translate(0, -top);
            painter.fillRect(whole, gradient);
        };
    }
    const QColor color = background.colorValue();
    return [color](QImage &strip, int) {
        QPainter(&strip).fillRect(strip.rect(), color);
    };
}

} // namespace

DesktopWallpaper::DesktopWallpaper(std::shared_ptr<Platform::LinuxDesktop> desktop, QString folder)
    : m_desktop(std::move(desktop))
    , m_folder(std::move(folder))
{ }

DesktopWallpaper::~DesktopWallpaper() = default;

std::unique_ptr<DesktopWallpaper> DesktopWallpaper::forCurrentDesktop(const QString &folder)
{
    std::shared_ptr<Platform::LinuxDesktop> desktop = Platform::LinuxDesktop::current();
    if (!desktop || !desktop->showsPictures())
        return nullptr;
    return std::make_unique<DesktopWallpaper>(std::move(desktop), folder);
}

QString DesktopWallpaper::pictureName(const Background &background, const QSize &pixelSize)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(background.rawValue().toUtf8());
    hash.addData(QStringLiteral("@%1x%2").arg(pixelSize.width()).arg(pixelSize.height()).toUtf8());
    return QStringLiteral("background-") + QString::fromLatin1(hash.result().toHex())
        + QStringLiteral(".png");
}

QString DesktopWallpaper::picture(const Background &background, const QSize &pixelSize) const
{
    if (!QDir().mkpath(m_folder) || !QFileInfo(m_folder).isDir())
        throw Platform::DesktopError(translated("The folder “%1” for the desktop’s pictures cannot be made, "
                                                "so the desktop was left as it is.")
                                         .arg(m_folder));
    const QString path = QDir(m_folder).filePath(pictureName(background, pixelSize));
    // Written whole or not at all, so a picture that is there is the finished one.
    if (QSize existing; isPicture(path, &existing) && existing == pixelSize)
        return path;
    const QString failure = PicturePng::write(path, pixelSize, drawing(background, pixelSize),
                                              backgroundKeyword, background.rawValue());
    if (!failure.isEmpty())
        throw Platform::DesktopError(translated("The picture for the desktop could not be written to “%1” "
                                                "(%2), so the desktop was left as it is.")
                                         .arg(path, failure));
    return path;
}

void DesktopWallpaper::show(const Background &background, const QSize &pixelSize)
{
    if (background.isClear())
        return;
    const QSize size = pixelSize.isEmpty() ? fallbackSize : pixelSize;
    switch (background.kind()) {
    case Background::Kind::image: {
        // Handed over by its file: the desktop reads formats the program need not decode itself.
        const QString file = background.url().isLocalFile() ? background.url().toLocalFile() : QString();
        QFile opened;
        if (file.isEmpty() || Platform::RegularFile::open(opened, file))
            throw Platform::DesktopError(
                translated("The picture “%1” cannot be read, so the desktop was left as it is.")
                    .arg(file.isEmpty() ? background.url().toString() : file));
        if (m_desktop->setPicture(file))
            removePicturesBut({});
        return;
    }
    case Background::Kind::color:
        if (m_desktop->showsColors()) {
            if (m_desktop->setColor(opaque(background.colorValue())))
                removePicturesBut({});
            return;
        }
        break;
    case Background::Kind::linearGradient:
        break;
    }
    const QString file = picture(background, size);
    if (m_desktop->setPicture(file))
        removePicturesBut(file);
}

std::optional<Background> DesktopWallpaper::current() const
{
    const std::optional<Platform::DesktopPicture> shown = m_desktop->picture();
    if (!shown)
        return std::nullopt;
    if (shown->file.isEmpty())
        return shown->color.isValid() ? std::optional(Background::color(shown->color)) : std::nullopt;
    const QFileInfo file(shown->file);
    if (isPictureName(file.fileName())
        && QDir::cleanPath(file.absolutePath()) == QDir::cleanPath(QFileInfo(m_folder).absoluteFilePath())) {
        if (QString text; isPicture(shown->file, nullptr, &text)) {
            if (const auto rendered = Background::fromRawValue(text))
                return rendered;
        }
    }
    return Background::image(QUrl::fromLocalFile(shown->file));
}

void DesktopWallpaper::removePicturesBut(const QString &shown) const
{
    const QString kept = QFileInfo(shown).fileName();
    QDir folder(m_folder);
    const QStringList names = folder.entryList({QStringLiteral("background-*.png")}, QDir::Files);
    for (const QString &name : names) {
        if (name != kept && isPictureName(name))
            folder.remove(name);
    }
}

} // namespace KivDesktopBackground
