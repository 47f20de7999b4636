#include "KivUtilities/UserDefaultsController.h"
#include "KivUtilities/UserDefaultsObservation.h"
#include "KivUtilities/UserDefaultsObserver.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QSaveFile>

using namespace KivUtilities;
using Platform::UserDefaults;
using TestSupport::TempHomeTest;

namespace {

enum class PanelKey { panelWidth, layout, frame, origin, title, other };

QString toRawValue(PanelKey key)
{
    static const char *const names[] = {"panelWidth", "layout", "frame", "origin", "title", "other"};
    return QString::fromLatin1(names[int(key)]);
}

enum class Layout { grid, list };

QString toRawValue(Layout layout)
{
    return layout == Layout::grid ? QStringLiteral("grid") : QStringLiteral("list");
}

} // namespace

template<> struct KivUtilities::UserDefaultsEnum<Layout>
{
    static std::optional<Layout> fromRawValue(const QString &text)
    {
        if (text == QLatin1String("grid"))
            return Layout::grid;
        if (text == QLatin1String("list"))
            return Layout::list;
        return std::nullopt;
    }
};

class UserDefaultsControllerTest : public TempHomeTest
{
protected:
    UserDefaults &standard() { return UserDefaults::standard(); }
};

TEST_F(UserDefaultsControllerTest, SuffixedKeysRegisteredDefaultsAndRemoval)
{
    UserDefaultsController<PanelKey> main({{PanelKey::panelWidth, 240}, {PanelKey::title, "Untitled"}},
                                          "-main");
    UserDefaultsController<PanelKey> plain;

    EXPECT_EQ(main.get<int>(PanelKey::panelWidth), 240);
    EXPECT_EQ(main.get<QString>(PanelKey::title), QStringLiteral("Untitled"));
    EXPECT_EQ(plain.get<int>(PanelKey::panelWidth), std::nullopt);

    main.set(300, PanelKey::panelWidth);
    EXPECT_EQ(main.get<int>(PanelKey::panelWidth), 300);
    EXPECT_EQ(standard().persistentValue("panelWidth-main"), QVariant(qint64(300)));
    EXPECT_FALSE(standard().persistentValue("panelWidth").isValid());
    plain.set(12, PanelKey::panelWidth);
    EXPECT_EQ(standard().persistentValue("panelWidth"), QVariant(qint64(12)));

    main.set(std::optional<int>(), PanelKey::panelWidth);
    EXPECT_EQ(main.get<int>(PanelKey::panelWidth), 240);
    main.set(std::nullopt, PanelKey::title);
    EXPECT_EQ(main.get<QString>(PanelKey::title), QStringLiteral("Untitled"));

    // Registered values stay in the process: the file holds only what was written.
    const QVariantMap file = Platform::PropertyList::parseDictionary(
                                 home.readFile("Library/Preferences/com.quorvane.Tapestrel.plist"))
                                 .value_or(QVariantMap());
    EXPECT_EQ(file.keys(), QStringList {"panelWidth"});
}

TEST_F(UserDefaultsControllerTest, ValuesReadBackOnlyAsTheirOwnKind)
{
    UserDefaultsController<PanelKey> defaults;
    const QRectF frame(10.5, 20, 300, 200.25);
    defaults.set(frame, PanelKey::frame);
    EXPECT_EQ(defaults.get<QRectF>(PanelKey::frame), frame);
    EXPECT_EQ(defaults.get<QSizeF>(PanelKey::frame), QSizeF(300, 200.25));
    EXPECT_EQ(defaults.get<QPointF>(PanelKey::frame), QPointF(10.5, 20));
    EXPECT_EQ(defaults.get<int>(PanelKey::frame), std::nullopt);

    defaults.set(QPointF(-4, 8), PanelKey::origin);
    EXPECT_EQ(defaults.get<QPointF>(PanelKey::origin), QPointF(-4, 8));
    EXPECT_EQ(defaults.get<QRectF>(PanelKey::origin), std::nullopt);
    EXPECT_EQ(defaults.get<QSizeF>(PanelKey::origin), std::nullopt);

    defaults.set(QStringLiteral("list"), PanelKey::layout);
    EXPECT_EQ(defaults.get<int>(PanelKey::layout), std::nullopt);
    EXPECT_EQ(defaults.get<Layout>(PanelKey::layout), Layout::list);
    defaults.set(QStringLiteral("table"), PanelKey::layout);
    EXPECT_EQ(defaults.get<Layout>(PanelKey::layout), std::nullopt);
    defaults.set(Layout::grid, PanelKey::layout);
    EXPECT_EQ(standard().string("layout"), QStringLiteral("grid"));
    EXPECT_EQ(defaults.get<Layout>(PanelKey::layout), Layout::grid);

    defaults.set(true, PanelKey::other);
    EXPECT_EQ(standard().persistentValue("other"), QVariant(true));
    EXPECT_EQ(defaults.get<bool>(PanelKey::other), true);
    EXPECT_EQ(defaults.get<int>(PanelKey::other), 1);
    EXPECT_EQ(defaults.get<QString>(PanelKey::other), std::nullopt);
    defaults.set(3.0, PanelKey::other);
    EXPECT_EQ(defaults.get<int>(PanelKey::other), 3);
    EXPECT_EQ(defaults.get<bool>(PanelKey::other), std::nullopt);
    defaults.set(3.5, PanelKey::other);
    EXPECT_EQ(defaults.get<int>(PanelKey::other), std::nullopt);
    EXPECT_EQ(defaults.get<float>(PanelKey::other), 3.5f);
    defaults.set(qint64(1) << 40, PanelKey::other);
    EXPECT_EQ(defaults.get<int>(PanelKey::other), std::nullopt);
    EXPECT_EQ(defaults.get<qint64>(PanelKey::other), qint64(1) << 40);
    defaults.set(QByteArray("\x01\x02"), PanelKey::other);
    EXPECT_EQ(defaults.get<QByteArray>(PanelKey::other), QByteArray("\x01\x02"));
    EXPECT_EQ(defaults.get<QString>(PanelKey::title), std::nullopt);
}

TEST_F(UserDefaultsControllerTest, ObservationReportsOnlyRealChanges)
{
    UserDefaultsController<PanelKey> main({{PanelKey::panelWidth, 240}}, "-main");
    QList<int> widths;
    auto observation = main.observe<int>(PanelKey::panelWidth, [&](const int &width) { widths << width; });
    EXPECT_EQ(observation->keySuffix(), "-main");

    main.set(300, PanelKey::panelWidth);
    main.set(300, PanelKey::panelWidth); // equal: nothing
    UserDefaultsController<PanelKey>().set(5, PanelKey::panelWidth); // another key: nothing
    main.set(std::nullopt, PanelKey::panelWidth); // back to 240
    EXPECT_EQ(widths, (QList<int> {300, 240}));

    // No value and no default: the first write is from nothing, removal is to nothing.
    QList<QString> titles;
    auto titleObservation =
        main.observe<QString>(PanelKey::title, [&](const QString &title) { titles << title; });
    main.set(QStringLiteral("a"), PanelKey::title);
    main.set(QStringLiteral("b"), PanelKey::title);
    main.set(std::nullopt, PanelKey::title);
    EXPECT_EQ(titles, QStringList {"b"});

    // A value that is not an integer is not reported to an integer observation.
    widths.clear();
    main.set(QStringLiteral("wide"), PanelKey::panelWidth);
    main.set(QStringLiteral("wider"), PanelKey::panelWidth);
    EXPECT_TRUE(widths.isEmpty());

    // Enumerations are reported as their case; another process's write arrives with the next read.
    QList<Layout> layouts;
    auto layoutObservation =
        main.observe<Layout>(PanelKey::layout, [&](const Layout &layout) { layouts << layout; });
    main.set(Layout::grid, PanelKey::layout);
    main.set(Layout::list, PanelKey::layout);
    QVariantMap onDisk = standard().persistentDomain();
    onDisk.insert("layout-main", QStringLiteral("grid"));
    QSaveFile file(standard().filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Platform::PropertyList::toBinary(onDisk));
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(main.get<Layout>(PanelKey::layout), Layout::grid);
    EXPECT_EQ(layouts, (QList<Layout> {Layout::list, Layout::grid}));

    widths.clear();
    observation->invalidate();
    EXPECT_TRUE(observation->isInvalidated());
    observation->invalidate();
    main.set(1, PanelKey::panelWidth);
    main.set(2, PanelKey::panelWidth);
    observation.reset();
    EXPECT_TRUE(widths.isEmpty());

    titleObservation.reset();
    main.set(QStringLiteral("c"), PanelKey::title);
    EXPECT_EQ(titles, QStringList {"b"});
}

TEST_F(UserDefaultsControllerTest, ObserverCallsEachKeysOwnFunction)
{
    UserDefaultsController<PanelKey> defaults;
    defaults.set(1, PanelKey::panelWidth);
    defaults.set(QStringLiteral("grid"), PanelKey::layout);
    defaults.set(QStringLiteral("x"), PanelKey::title);

    QStringList calls;
    auto observer = std::make_unique<UserDefaultsObserver<PanelKey>>();
    observer->observe(PanelKey::panelWidth,
                      [&](const QVariant &value) { calls << "first " + value.toString(); });
    observer->observe(PanelKey::panelWidth,
                      [&](const QVariant &value) { calls << "width " + value.toString(); });
    observer->observe(PanelKey::layout,
                      [&](const QVariant &value) { calls << "layout " + value.toString(); });
    EXPECT_TRUE(observer->isObserving(PanelKey::layout));
    EXPECT_FALSE(observer->isObserving(PanelKey::title));

    defaults.set(2, PanelKey::panelWidth);
    defaults.set(2, PanelKey::panelWidth);
    defaults.set(QStringLiteral("list"), PanelKey::layout);
    defaults.set(QStringLiteral("y"), PanelKey::title);
    standard().setValue("notAKey", 1);
    standard().setValue("notAKey", 2);
    defaults.set(std::nullopt, PanelKey::layout);
    UserDefaultsController<PanelKey>({}, "-main").set(9, PanelKey::panelWidth);
    EXPECT_EQ(calls, (QStringList {"width 2", "layout list"}));

    observer.reset();
    defaults.set(3, PanelKey::panelWidth);
    EXPECT_EQ(calls.size(), 2);
}
