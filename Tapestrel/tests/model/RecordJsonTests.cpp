#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<Profile> decodeProfile(const char *text)
{
    return Profile::fromJson(JsonCoder::decode(QByteArray(text)));
}

std::unique_ptr<CustomBackground> decodeBackground(const char *text)
{
    return CustomBackground::fromJson(JsonCoder::decode(QByteArray(text)));
}

} // namespace

TEST(RecordJson, ProfileDecodingAppliesDefaultsAndKeepsIdentity)
{
    auto profile = decodeProfile(R"({"uuid":"abc","name":"Work","options":[],"extra":1})");
    EXPECT_EQ(profile->uuid(), "abc");
    EXPECT_EQ(profile->name(), "Work");
    EXPECT_TRUE(profile->isEnabled());
    EXPECT_TRUE(profile->options().isEmpty());

    profile = decodeProfile(R"({"uuid":"u","name":"n","isEnabled":false,"options":[)"
                            R"({"key":"a","value":"1"},{"key":"b","value":"2","isEnabled":false}]})");
    EXPECT_FALSE(profile->isEnabled());
    ASSERT_EQ(profile->options().size(), 2);
    EXPECT_TRUE(profile->options()[0]->isEnabled());
    EXPECT_FALSE(profile->options()[1]->isEnabled());
    EXPECT_EQ(profile->options()[1]->profile(), profile.get());
    EXPECT_EQ(profile->value("b"), "2");

    auto again = Profile::fromJson(JsonCoder::decode(JsonCoder::encode(profile->toJson())));
    EXPECT_EQ(JsonCoder::encode(again->toJson()), JsonCoder::encode(profile->toJson()));
}

TEST(RecordJson, MalformedRecordsFailWithAClearMessage)
{
    const char *invalidProfiles[] = {
        R"({"uuid":"u","name":"n"})", // options missing
        R"({"uuid":"u","name":"n","options":null})", // options null
        R"({"uuid":"u","options":[]})", // name missing
        R"({"uuid":7,"name":"n","options":[]})", // uuid not a text
        R"({"uuid":"u","name":"n","options":[],"isEnabled":1})", // isEnabled not a Boolean
        R"({"uuid":"u","name":"n","options":[{"key":"a"}]})", // option value missing
        R"({"uuid":"u","name":"n","options":[{"key":"a","value":true}]})", // option value wrong type
        R"({"uuid":"u","name":"n","options":["a"]})", // option not an object
        R"([])",
    };
    for (const char *text : invalidProfiles)
        EXPECT_THROW(decodeProfile(text), JsonDecodeError) << text;

    try {
        decodeProfile(R"({"uuid":"u","name":"n","options":[{"key":"a","value":"x"},{"value":"y"}]})");
        FAIL() << "decoding should fail";
    } catch (const JsonDecodeError &error) {
        EXPECT_EQ(error.message(), "The option 2 of the profile has no \"key\" member.");
    }
    try {
        JsonCoder::decode(QByteArray("{\"uuid\":"));
        FAIL() << "decoding should fail";
    } catch (const JsonDecodeError &error) {
        EXPECT_TRUE(error.message().startsWith("The data is not valid JSON"));
    }
}

TEST(RecordJson, CustomBackgroundForm)
{
    CustomBackground plain(CustomBackground::Kind::Gradient, QStringLiteral(R"({"type":"color"})"));
    CustomBackground other(CustomBackground::Kind::Gradient, plain.backgroundValue());
    EXPECT_EQ(plain.type(), "gradient");
    EXPECT_NE(plain.uuid(), other.uuid());
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$")
                    .match(plain.uuid())
                    .hasMatch());

    const QByteArray bookmark("\x00\x01\xfe\xff", 4);
    CustomBackground withBookmark(CustomBackground::Kind::Image, "v", bookmark);
    withBookmark.setUuid("C");
    auto decoded = CustomBackground::fromJson(JsonCoder::decode(JsonCoder::encode(withBookmark.toJson())));
    EXPECT_EQ(decoded->bookmarkData(), std::optional<QByteArray>(bookmark));
    EXPECT_EQ(decoded->uuid(), "C");

    // The background value decodes at every read; text that is not a background gives none.
    EXPECT_FALSE(plain.background().has_value());
    plain.setBackgroundValue(QStringLiteral(R"({"type":"color","color":"#FF0010"})"));
    ASSERT_TRUE(plain.background().has_value());
    EXPECT_EQ(plain.background()->rawValue(), plain.backgroundValue());
    plain.setBackgroundValue(QString());
    EXPECT_FALSE(plain.background().has_value());

    auto unknown = decodeBackground(R"({"uuid":"u","kind":"video","backgroundValue":""})");
    EXPECT_EQ(unknown->type(), "video");
    EXPECT_FALSE(unknown->kind().has_value());
    EXPECT_FALSE(unknown->bookmarkData().has_value());

    for (const char *bad :
         {R"({"uuid":"u","type":"color","backgroundValue":""})", R"({"uuid":"u","kind":"color"})",
          R"({"uuid":"u","kind":"color","backgroundValue":"",})",
          R"({"uuid":"u","kind":"color","backgroundValue":"","bookmarkData":"***"})",
          R"({"uuid":"u","kind":"color","backgroundValue":"","bookmarkData":3})"})
        EXPECT_THROW(decodeBackground(bad), JsonDecodeError) << bad;
}

TEST(ProfileRecord, CopyingAndOptionLookup)
{
    Profile source("Night");
    source.setEnabled(false);
    new Option("a", "1", &source);
    auto *off = new Option("b", "2", &source);
    off->setEnabled(false);
    new Option("a", "second", &source);

    auto copy = Profile::copying(source);
    EXPECT_NE(copy->uuid(), source.uuid());
    EXPECT_EQ(copy->name(), "Night");
    EXPECT_TRUE(copy->isEnabled());
    ASSERT_EQ(copy->options().size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(copy->options()[i], source.options()[i]);
        EXPECT_EQ(copy->options()[i]->key(), source.options()[i]->key());
        EXPECT_EQ(copy->options()[i]->value(), source.options()[i]->value());
        EXPECT_EQ(copy->options()[i]->isEnabled(), source.options()[i]->isEnabled());
        EXPECT_EQ(copy->options()[i]->profile(), copy.get());
    }

    EXPECT_EQ(source.value("a"), "1");
    EXPECT_EQ(source.value("b"), "2");
    EXPECT_EQ(source.value("missing"), QString());
    EXPECT_EQ(source.option("a"), source.options()[0]);
    EXPECT_EQ(source.findOrCreateOption("a"), source.options()[0]);
    EXPECT_EQ(source.option("missing"), nullptr);

    Option *created = source.findOrCreateOption("c");
    EXPECT_EQ(source.options().size(), 4);
    EXPECT_EQ(source.options().last(), created);
    EXPECT_EQ(source.findOrCreateOption("c"), created);

    // Keys match by canonical equivalence: a precomposed and a decomposed "é" are one key.
    new Option("caf\u00e9", "x", &source);
    EXPECT_EQ(source.value("cafe\u0301"), "x");
    EXPECT_EQ(source.value("CAF\u00c9"), QString());

    Profile target("T");
    created->setProfile(&target);
    EXPECT_EQ(source.options().size(), 4);
    EXPECT_EQ(target.options(), QList<Option *> {created});
    delete created;
    EXPECT_TRUE(target.options().isEmpty());
}

TEST(RecordJson, WritingStraightIntoBytesGivesTheEncodedForm)
{
    // Every character class the encoder treats apart.
    QString tricky =
        QStringLiteral("a\"b\\c/d\be\tf\ng\fh\ri") + QChar(0x01) + QChar(0x1f) + QChar(0x7f) + "é ☕ 😀 end";
    Profile profile(tricky);
    profile.setUuid(QString());
    new Option(tricky, QString(), &profile);
    (new Option("k", QStringLiteral(R"({"url":"file:///x"})"), &profile))->setEnabled(false);
    Profile empty;
    empty.setEnabled(false);
    for (const Profile *record : {&profile, &empty}) {
        QByteArray written;
        record->appendJson(written);
        EXPECT_EQ(written, JsonCoder::encode(record->toJson()));
    }

    // Bookmark data whose base64 holds "/", none at all, and empty data.
    for (const std::optional<QByteArray> &bookmark :
         {std::optional<QByteArray>(QByteArray("\xff\xfe\xfb\xef", 4)), std::optional<QByteArray>(),
          std::optional<QByteArray>(QByteArray(""))}) {
        CustomBackground background(CustomBackground::Kind::Gradient, tricky, bookmark);
        QByteArray written;
        background.appendJson(written);
        EXPECT_EQ(written, JsonCoder::encode(background.toJson()));
    }
}
