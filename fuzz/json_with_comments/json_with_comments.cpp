// VS Code's settings files: JSON with comments and trailing commas. Strict JSON must read the
// same in both dialects, and setting one member of an object, present or new, must give a file
// that reads back with exactly that member changed and the bytes before the edited value kept.

#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"

#include <QJsonObject>

#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *message)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", message);
        std::abort();
    }
}

void checkEdit(const JsonWithCommentsDocument &document, const QString &key)
{
    const QJsonValue value(QStringLiteral("The \"new\" théme\n"));
    const QByteArray edited = document.withMember(key, value);
    const auto reread =
        JsonWithCommentsDocument::parse(edited, JsonWithCommentsDocument::Dialect::WithComments);
    require(reread.has_value() && reread->isObject(), "an edited document does not parse");
    QJsonObject expected = document.value().toObject();
    expected.insert(key, value);
    require(reread->value().toObject() == expected, "an edit changed more than its member");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto strict = JsonWithCommentsDocument::parse(bytes, JsonWithCommentsDocument::Dialect::Strict);
    const auto lenient =
        JsonWithCommentsDocument::parse(bytes, JsonWithCommentsDocument::Dialect::WithComments);
    if (strict)
        require(lenient && lenient->value() == strict->value(),
                "strict JSON reads differently with comments allowed");
    if (!lenient || !lenient->isObject())
        return 0;
    if (!lenient->members().isEmpty()) {
        const auto &member = lenient->members().first();
        checkEdit(*lenient, member.key);
    }
    checkEdit(*lenient, QStringLiteral("workbench.colorTheme"));
    checkEdit(*lenient, QStringLiteral("zz.absent.key"));
    return 0;
}
