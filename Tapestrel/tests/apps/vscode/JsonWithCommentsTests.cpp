#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

using Document = JsonWithCommentsDocument;
using Dialect = JsonWithCommentsDocument::Dialect;

std::optional<Document> parse(const QByteArray &bytes, Dialect dialect = Dialect::WithComments)
{
    return Document::parse(bytes, dialect);
}

QByteArray set(const QByteArray &bytes, const QString &key, const QJsonValue &value)
{
    const auto document = parse(bytes);
    EXPECT_TRUE(document.has_value()) << bytes.toStdString();
    return document ? document->withMember(key, value) : QByteArray();
}

constexpr const char *theme = "workbench.colorTheme";

} // namespace

// Settings files as users keep them: after setting one key the file differs from before only in
// that value, or in the one member added before the closing brace, byte for byte.
TEST(JsonWithCommentsTest, SettingOneKeyChangesOnlyItsBytes)
{
    struct Case
    {
        const char *name;
        QByteArray before;
        QByteArray after;
    };
    const QList<Case> cases {
        {"line comments",
         "{\n    // My theme\n    \"workbench.colorTheme\": \"Monokai\", // dark\n    \"editor.fontSize\": "
         "14\n}\n",
         "{\n    // My theme\n    \"workbench.colorTheme\": \"Abyss\", // dark\n    \"editor.fontSize\": "
         "14\n}\n"},
        {"block comments that mention the key",
         "{\n  /* \"workbench.colorTheme\": \"Old\", */\n  \"workbench.colorTheme\" /* here */ : /* v */ "
         "\"Red\"\n}",
         "{\n  /* \"workbench.colorTheme\": \"Old\", */\n  \"workbench.colorTheme\" /* here */ : /* v */ "
         "\"Abyss\"\n}"},
        {"trailing commas", "{\n\t\"a\": [1, 2,],\n\t\"workbench.colorTheme\": \"Red\",\n}\n",
         "{\n\t\"a\": [1, 2,],\n\t\"workbench.colorTheme\": \"Abyss\",\n}\n"},
        {"repeated key: the last one counts",
         "{\"workbench.colorTheme\": \"A\",\n \"workbench.colorTheme\": \"B\"}",
         "{\"workbench.colorTheme\": \"A\",\n \"workbench.colorTheme\": \"Abyss\"}"},
        {"value of another type", "{ \"workbench.colorTheme\": 42 }",
         "{ \"workbench.colorTheme\": \"Abyss\" }"},
        {"texts that look like comments",
         "{\"url\": \"http://x/*y*/\", \"workbench.colorTheme\": \"R\\\"ed\"}",
         "{\"url\": \"http://x/*y*/\", \"workbench.colorTheme\": \"Abyss\"}"},
        {"byte-order mark and CRLF", "\xEF\xBB\xBF{\r\n  \"workbench.colorTheme\": \"Red\"\r\n}",
         "\xEF\xBB\xBF{\r\n  \"workbench.colorTheme\": \"Abyss\"\r\n}"},
        {"absent: comment before the brace, tabs", "// Settings\n{\n\t\"editor.tabSize\": 2\n}\n",
         "// Settings\n{\n\t\"editor.tabSize\": 2,\n\t\"workbench.colorTheme\": \"Abyss\"\n}\n"},
        {"absent: CRLF and no final newline", "{\r\n    \"a\": true\r\n}",
         "{\r\n    \"a\": true,\r\n    \"workbench.colorTheme\": \"Abyss\"\r\n}"},
        {"absent: trailing comma and a comment after the last member",
         "{\n  \"a\": 1, // one\n  // \"b\": 2\n}\n",
         "{\n  \"a\": 1, // one\n  \"workbench.colorTheme\": \"Abyss\"\n  // \"b\": 2\n}\n"},
        {"absent: line comment without a comma", "{\n  \"a\": 1 // one\n}\n",
         "{\n  \"a\": 1, // one\n  \"workbench.colorTheme\": \"Abyss\"\n}\n"},
        {"absent: line comment holding a comma after the last member", "{\n  \"a\": 1 // one, two\n}\n",
         "{\n  \"a\": 1, // one, two\n  \"workbench.colorTheme\": \"Abyss\"\n}\n"},
        {"absent: block comment holding a comma after the last member", "{\n  \"a\": 1 /* one, two */\n}\n",
         "{\n  \"a\": 1, /* one, two */\n  \"workbench.colorTheme\": \"Abyss\"\n}\n"},
        {"absent: theme-scoped object last",
         "{\n    \"workbench.colorCustomizations\": {\n        \"[Tokyo Night]\": {\n            "
         "\"workbench.colorTheme\": \"x\"\n        }\n    }\n}\n",
         "{\n    \"workbench.colorCustomizations\": {\n        \"[Tokyo Night]\": {\n            "
         "\"workbench.colorTheme\": \"x\"\n        }\n    },\n    \"workbench.colorTheme\": \"Abyss\"\n}\n"},
        {"absent: empty file", "", "{\n    \"workbench.colorTheme\": \"Abyss\"\n}\n"},
        {"absent: only a comment, CRLF, no final newline", "// Later\r\n/* x */",
         "// Later\r\n/* x */\r\n{\r\n    \"workbench.colorTheme\": \"Abyss\"\r\n}\r\n"},
        {"absent: carriage returns alone", "{\r\t\"a\": 1\r}",
         "{\r\t\"a\": 1,\r\t\"workbench.colorTheme\": \"Abyss\"\r}"},
        {"absent: one line, compact colon", "{\"a\":1}", "{\"a\":1, \"workbench.colorTheme\":\"Abyss\"}"},
        {"absent: one line with trailing comma", "{\"a\": 1,}",
         "{\"a\": 1, \"workbench.colorTheme\": \"Abyss\"}"},
        {"absent: empty object", "{}", "{\n    \"workbench.colorTheme\": \"Abyss\"\n}"},
        {"absent: empty object over lines, commented-out settings", "{\n\t// \"editor.fontSize\": 12\n}\n",
         "{\n\t// \"editor.fontSize\": 12\n\t\"workbench.colorTheme\": \"Abyss\"\n}\n"},
        {"absent: block comment after the last member", "{\n  \"a\": 1 /* note\n  more */\n}",
         "{\n  \"a\": 1, /* note\n  more */\n  \"workbench.colorTheme\": \"Abyss\"\n}"},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QByteArray after = set(test.before, theme, QStringLiteral("Abyss"));
        EXPECT_EQ(after.toStdString(), test.after.toStdString());
        const auto reread = parse(after);
        ASSERT_TRUE(reread.has_value());
        EXPECT_EQ(reread->value()[theme].toString(), QStringLiteral("Abyss"));
    }
}

TEST(JsonWithCommentsTest, ReadsAsVSCodeDoes)
{
    const auto document =
        parse("\xEF\xBB\xBF// c\n{\"k\\u0041\": \"a\\n\\u00e9\\ud83d\\ude00\", \"n\": -1.5e3, "
              "\"k\\u0041\": [true, false, null, {},], \"s\": \"\\ud800x\",}");
    ASSERT_TRUE(document.has_value());
    EXPECT_EQ(document->value()["kA"].toArray().size(), 4); // the last of the repeated keys
    EXPECT_EQ(document->value()["n"].toDouble(), -1500);
    EXPECT_EQ(document->value()["s"].toString(), QString(QChar(0xFFFD)) + "x");
    ASSERT_EQ(document->members().size(), 4);
    EXPECT_EQ(document->members().at(0).key, "kA");

    // Values with characters JSON escapes are written back readable.
    const QString tricky = QStringLiteral("a\"b\\c\nd\x01é😀");
    const auto written = parse(set("{}", "k", tricky));
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(written->value()["k"].toString(), tricky);
    const auto withTrue = parse(set("{}", "k", true));
    ASSERT_TRUE(withTrue.has_value());
    EXPECT_EQ(withTrue->value()["k"], QJsonValue(true));
}

TEST(JsonWithCommentsTest, RefusesWhatIsNotJsonWithCommentsAndSaysWhere)
{
    struct Case
    {
        QByteArray bytes;
        const char *message;
    };
    const QList<Case> invalid {
        {"{\"a\": 1", "ends inside an object"},
        {"{\"a\" 1}", "colon"},
        {"{\n  \"a\": 1\n  \"b\": 2\n}", "line 3, column 3"},
        {"{\"a\": 1} /* open", "never closed"},
        {"{,}", "key in double quotes"},
        {"{\"a\": 1,,}", "key in double quotes"},
        {"[1,,2]", "value was expected"},
        {"{\"a\": nul}", "value was expected"},
        {"{\"a\": 01}", "comma or a closing brace"},
        {"{\"a\": 1.}", "malformed number"},
        {"{\"a\": \"x\\q\"}", "unknown escape"},
        {"{\"a\": \"\\u12\"}", "incomplete"},
        {"{\"a\": \"tab\there\"}", "control character"},
        {"{\"a\": \"open}", "never closed"},
        {"{} {}", "after the end"},
        {"{'a': 1}", "key in double quotes"},
        {QByteArray(300, '[') + QByteArray(300, ']'), "nested too deeply"},
    };
    for (const Case &test : invalid) {
        SCOPED_TRACE(test.bytes.left(40).toStdString());
        QString error;
        EXPECT_FALSE(Document::parse(test.bytes, Dialect::WithComments, &error).has_value());
        EXPECT_TRUE(error.contains(QLatin1String(test.message))) << error.toStdString();
    }

    // Strict JSON: the same reader without comments and trailing commas.
    for (const QByteArray &bytes :
         {QByteArray("{\"a\": 1,}"), QByteArray("[1,]"), QByteArray("// c\n{}"), QByteArray(" \n")}) {
        EXPECT_TRUE(parse(bytes, Dialect::WithComments).has_value());
        EXPECT_FALSE(parse(bytes, Dialect::Strict).has_value()) << bytes.toStdString();
    }

    QString error;
    Document::Limits small;
    small.maxBytes = 8;
    EXPECT_FALSE(Document::parse("{\"a\": 12345}", Dialect::Strict, &error, small).has_value());
    EXPECT_TRUE(error.contains("too large"));
}

// Damaged files never crash the reader, and whatever it accepts it can set a key in without
// changing any other value.
TEST(JsonWithCommentsTest, DamagedFilesAreReadSafelyAndEditedCleanly)
{
    const QByteArray sample =
        "// Settings\n{\n\t\"editor.fontSize\": 14, /* big */\n\t\"[Tokyo Night]\": {\"a\": [1, "
        "2,]},\n\t\"workbench.colorTheme\": \"Red\",\n\t\"s\": \"\\\"//\\u00e9\"\n}\n";
    const char alphabet[] = "{}[],:\"/*\\ \n\r\tab01-e.tfn";
    QRandomGenerator random(25);
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        QByteArray bytes = sample;
        const int edits = 1 + random.bounded(3);
        for (int i = 0; i < edits; ++i) {
            const int at = random.bounded(int(bytes.size()));
            switch (random.bounded(3)) {
            case 0:
                bytes.remove(at, 1);
                break;
            case 1:
                bytes.insert(at, alphabet[random.bounded(int(sizeof alphabet - 1))]);
                break;
            default:
                bytes[at] = alphabet[random.bounded(int(sizeof alphabet - 1))];
            }
        }
        const auto document = parse(bytes);
        if (!document || !document->isObject())
            continue;
        ++accepted;
        for (const QString &key : {QStringLiteral("workbench.colorTheme"), QStringLiteral("new.key")}) {
            const QByteArray edited = document->withMember(key, QStringLiteral("Abyss"));
            const auto reread = parse(edited);
            ASSERT_TRUE(reread.has_value()) << bytes.toStdString() << "\n---\n" << edited.toStdString();
            QJsonObject expected = document->value().toObject();
            expected.insert(key, QStringLiteral("Abyss"));
            EXPECT_EQ(reread->value().toObject(), expected) << edited.toStdString();
        }
    }
    EXPECT_GT(accepted, 100);
}

// Files named like settings can be anything: a named pipe or a folder is refused at once, never waited on.
TEST(JsonWithCommentsTest, OnlyRegularFilesAreRead)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString pipe = folder.filePath(QStringLiteral("settings.json"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString &path : {pipe, folder.path()}) {
        QString error;
        EXPECT_FALSE(Document::parseFile(path, Dialect::WithComments, &error).has_value());
        EXPECT_EQ(error, QStringLiteral("it is not a regular file"));
    }
}
