#pragma once

#include <QByteArray>
#include <QString>

#include <nlohmann/json.hpp>

#include <functional>
#include <optional>
#include <stdexcept>

// Why a settings file of another application could not be read or written, with a message that
// names the file.
class JSONFileError : public std::runtime_error
{
public:
    JSONFileError(QString path, QString message);

    QString path() const { return m_path; }
    QString message() const { return m_message; }

private:
    QString m_path;
    QString m_message;
};

// One JSON settings file of another application, held as its top-level object and written back whole.
// Members the program does not know stay as they are, in their order and with their type (an integer
// stays an integer). The file is written the way the application writes it itself: two-space
// indentation, no final line end. It is replaced atomically (a temporary file in the same folder,
// then a rename; a symbolic link is followed and the file's permissions are kept), so a failed write
// leaves the former file whole. A change is made with edit(), on the file as it is when it is written,
// so that what the application saved in the meantime is kept.
class JSONController
{
public:
    using Json = nlohmann::ordered_json;

    // Settings files are small; anything larger, or nested deeper, is not one and is not read.
    static constexpr qint64 maximumSize = 4 * 1024 * 1024;
    static constexpr int maximumDepth = 64;

    // Reads the file. Throws JSONFileError when it is missing, unreadable, too large, not JSON or
    // holds no object at the top.
    static JSONController open(const QString &path);
    // The same, none instead of the error.
    static std::optional<JSONController> load(const QString &path);

    // Parses JSON text of at most maximumDepth levels; none for anything else. Never throws.
    static std::optional<Json> parse(const QByteArray &bytes);
    // The text edit() writes.
    static QByteArray serialize(const Json &json);

    QString path() const { return m_path; }
    Json &json() { return m_json; }
    const Json &json() const { return m_json; }

    // Reads the file as open() does, lets `change` change the object and writes it back when it
    // changed. When the file changes before it is replaced, it is read again and `change` called
    // again on the new object (see Platform::AtomicFile::edit). A file that holds nothing or does not
    // parse is waited for while it may be a save in progress; one that has held nothing for longer
    // is edited as an empty object, one that does not parse is refused; a missing one is created
    // holding what `change` set (none when it set nothing). Gives the object the file holds afterwards;
    // none when there is no file. Throws JSONFileError when the file cannot be read, parsed or written
    // (the former file then stays as it was), and whatever `change` throws (nothing is written then).
    static std::optional<Json> edit(const QString &path, const std::function<void(Json &json)> &change);

private:
    JSONController(QString path, Json json);

    // The object of a file's bytes; throws JSONFileError when they hold none.
    static Json parseObject(const QString &path, const QByteArray &bytes);

    QString m_path;
    Json m_json;
};
