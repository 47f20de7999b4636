#pragma once

#include "Tapestrel/background/AddBackgroundButton.h"

#include <QPointer>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <optional>

#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContext.h"
class QMenu;

// The add tile of the image grid: a menu with "Add Image" (image files chosen in a file dialog) and
// "Add Photo" (pictures chosen from the pictures folder, which stands in for a photo library). Every
// added picture is stored in the wallpapers folder as "Photo-<UUID>.<extension>" ("jpg" when the
// file has none) and gets one custom background of kind image, saved at once. Adding selects
// nothing. A chosen file that is no regular file (a named pipe, a device) or too large to be shown is
// left out, and the person is told which and why once the others are added; a file that is gone or
// cannot be copied is skipped without a message. A photo's copy is named by what the picture holds (a
// PNG without an extension becomes ".png"); an image file keeps its own extension.
class AddImageButton : public AddImageLabel
{
    Q_OBJECT

public:
    explicit AddImageButton(ModelContext *modelContext, QWidget *parent = nullptr);

    // "Add Image", "Add Photo".
    QMenu *menu() const { return m_menu; }

    // Where added images go, asked anew at every use.
    static QString wallpapersFolderPath();
    // A new file name in that folder: "Photo-" + an upper-case UUID + "." + the extension.
    static QString newWallpaperFilePath(const QString &extension);
    // The same without the extension and its dot.
    static QString newWallpaperFileStem();
    static void ensureWallpapersFolder();
    // The path to store for a chosen file: the file itself when it already lies in the wallpapers
    // folder, otherwise a new copy there; nothing when the copy fails.
    static std::optional<QString> importImageFile(const QString &filePath);

    // "Add Image": the file dialog, then every chosen file in order, copied as importImageFile()
    // does, off the GUI thread. imagesImported() follows.
    void chooseImageFiles();
    // "Add Photo": the picture chooser, then importSelectedPhotos() with what was chosen.
    void choosePhotos();
    // Writes each picture into the wallpapers folder off the GUI thread, one after the other, and
    // records it. Stops quietly when the store went away meanwhile. photosImported() follows.
    QCoro::Task<void> importSelectedPhotos(QStringList filePaths);

signals:
    void imagesImported();
    void photosImported();

private:
    struct LeftOut
    {
        QString path;
        QString reason;
    };
    // One alert that names each file left out, with the reason.
    static void tellLeftOut(const QList<LeftOut> &leftOut, QWidget *parent);

    enum class Kind { Images, Photos };
    static QCoro::Task<void> importPictures(QPointer<AddImageButton> self, QPointer<ModelContext> context,
                                            QStringList filePaths, Kind kind);
    static CustomBackground *addRecord(ModelContext *context, const QString &storedPath);

    QPointer<ModelContext> m_modelContext;
    QMenu *m_menu;
};
