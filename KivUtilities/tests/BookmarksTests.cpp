#include "KivUtilities/FileBookmark.h"
#include "KivUtilities/FileBookmarkController.h"
#include "KivUtilities/FileBookmarkStore.h"
#include "KivUtilities/URLResolver.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace KivUtilities;
using Platform::UserDefaults;

namespace {

class BookmarksTest : public TestSupport::TempHomeTest
{
protected:
    QUrl make(const QString &relative, bool folder = false)
    {
        if (folder)
            QDir().mkpath(home.filePath(relative));
        else
            home.writeFile(relative, "content");
        return QUrl::fromLocalFile(home.filePath(relative));
    }
    QUrl at(const QString &relative) const { return QUrl::fromLocalFile(home.filePath(relative)); }

    // The stored array, decoded without the store's help.
    QVariantList storedArray() const
    {
        return Platform::PropertyList::parse(
                   UserDefaults::standard().data(QStringLiteral("bookmarks")).value_or(QByteArray()))
            .toList();
    }

    FileBookmarkStore store {QStringLiteral("bookmarks")};
};

} // namespace

TEST_F(BookmarksTest, BookmarksFollowTheFileAtTheirPath)
{
    const QUrl file = make(QStringLiteral("docs/a.txt"));
    const auto data = FileBookmark::create(file);
    ASSERT_TRUE(data.has_value());
    auto resolved = FileBookmark::resolve(*data);
    ASSERT_TRUE(resolved.has_value());
    EXPECT_EQ(resolved->location, file);
    EXPECT_FALSE(resolved->isStale);

    // Replaced by another file at the same path: stale, still resolving.
    QFile::rename(home.filePath(QStringLiteral("docs/a.txt")), home.filePath(QStringLiteral("docs/old.txt")));
    home.writeFile(QStringLiteral("docs/a.txt"), "other");
    resolved = FileBookmark::resolve(*data);
    ASSERT_TRUE(resolved.has_value());
    EXPECT_TRUE(resolved->isStale);

    // Moved away or deleted: no longer resolves.
    QFile::remove(home.filePath(QStringLiteral("docs/a.txt")));
    EXPECT_FALSE(FileBookmark::resolve(*data).has_value());

    EXPECT_FALSE(FileBookmark::create(at(QStringLiteral("missing"))).has_value());
    EXPECT_FALSE(FileBookmark::create(QUrl(QStringLiteral("https://example.com/x"))).has_value());
    EXPECT_FALSE(FileBookmark::resolve(QByteArrayLiteral("not a bookmark")).has_value());
    EXPECT_FALSE(FileBookmark::resolve(Platform::PropertyList::toBinary(
                                           QVariantMap {{QStringLiteral("path"), QStringLiteral("relative")},
                                                        {QStringLiteral("device"), 1},
                                                        {QStringLiteral("inode"), 1}}))
                     .has_value());
}

TEST_F(BookmarksTest, StoreKeepsAnArrayOfDataInOrder)
{
    EXPECT_FALSE(store.storedData().has_value());
    EXPECT_TRUE(store.bookmarkData().isEmpty());
    EXPECT_TRUE(store.urls().isEmpty());

    const QUrl first = make(QStringLiteral("one"), true);
    const QUrl second = make(QStringLiteral("two.txt"));
    store.setUrls({first, at(QStringLiteral("nothing here")), second});
    EXPECT_EQ(store.urls(), (QList<QUrl> {first, second}));
    const QVariantList array = storedArray();
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array[0].typeId(), QMetaType::QByteArray);
    EXPECT_EQ(store.bookmarkData().size(), 2);

    // Anything else under the key reads as no bookmarks.
    UserDefaults::standard().setValue(QStringLiteral("bookmarks"), QStringLiteral("text"));
    EXPECT_TRUE(store.bookmarkData().isEmpty());
    UserDefaults::standard().setValue(QStringLiteral("bookmarks"), QByteArrayLiteral("garbage"));
    EXPECT_TRUE(store.bookmarkData().isEmpty());
    UserDefaults::standard().setValue(QStringLiteral("bookmarks"),
                                      Platform::PropertyList::toBinary(QVariantList {QByteArray("x"), 3}));
    EXPECT_TRUE(store.bookmarkData().isEmpty());
}

TEST_F(BookmarksTest, ControllerCoversFoldersAndTheirContentsOnly)
{
    const QUrl folder = make(QStringLiteral("Pictures"), true);
    make(QStringLiteral("Pictures/sub/x.png"));
    make(QStringLiteral("Pictures2/x.png"));

    FileBookmarkController controller(store);
    EXPECT_FALSE(controller.hasAccess(folder));
    controller.grantAccess(folder);
    EXPECT_TRUE(controller.hasAccess(folder));
    EXPECT_TRUE(controller.hasAccess(at(QStringLiteral("Pictures/sub/x.png"))));
    EXPECT_TRUE(controller.hasAccess(at(QStringLiteral("Pictures/not yet there.png"))));
    EXPECT_TRUE(controller.hasAccess(at(QStringLiteral("Pictures/./sub/../sub/x.png"))));
    EXPECT_FALSE(controller.hasAccess(at(QStringLiteral("Pictures2/x.png"))));
    EXPECT_FALSE(controller.hasAccess(QUrl::fromLocalFile(home.path())));
    EXPECT_TRUE(FileBookmark::accessedLocations().contains(folder));

    // Covered already: nothing new is stored.
    controller.grantAccess(at(QStringLiteral("Pictures/sub/x.png")));
    EXPECT_EQ(storedArray().size(), 1);

    const QUrl other = make(QStringLiteral("Music"), true);
    controller.grantAccess(other);
    EXPECT_EQ(store.urls(), (QList<QUrl> {folder, other}));

    // A new controller opens access to every stored location.
    FileBookmark::stopAccessing(folder);
    FileBookmark::stopAccessing(other);
    FileBookmarkController restored(store);
    EXPECT_TRUE(FileBookmark::accessedLocations().contains(folder));
    EXPECT_TRUE(FileBookmark::accessedLocations().contains(other));

    EXPECT_TRUE(controller.isReadable(at(QStringLiteral("Pictures/sub/x.png"))));
    EXPECT_FALSE(controller.isReadable(at(QStringLiteral("Pictures/none.png"))));
}

TEST_F(BookmarksTest, MovedDeletedAndReplacedFiles)
{
    const QUrl moved = make(QStringLiteral("moved.txt"));
    const QUrl deleted = make(QStringLiteral("deleted.txt"));
    const QUrl replaced = make(QStringLiteral("replaced.txt"));
    FileBookmarkController controller(store);
    controller.grantAccess(moved);
    controller.grantAccess(deleted);
    controller.grantAccess(replaced);
    ASSERT_EQ(storedArray().size(), 3);

    QFile::rename(moved.toLocalFile(), home.filePath(QStringLiteral("elsewhere.txt")));
    QFile::remove(deleted.toLocalFile());
    // The old file stays alive elsewhere, so the new one cannot reuse its inode.
    QFile::rename(replaced.toLocalFile(), home.filePath(QStringLiteral("replaced-old.txt")));
    home.writeFile(QStringLiteral("replaced.txt"), "new file");

    // Reading skips what no longer resolves but does not forget it; the replaced file stays and its
    // bookmark now describes the new file.
    const QByteArray staleData = store.bookmarkData().at(2);
    EXPECT_EQ(store.urls(), (QList<QUrl> {replaced}));
    EXPECT_EQ(storedArray().size(), 3);
    EXPECT_NE(store.bookmarkData().at(2), staleData);
    EXPECT_FALSE(FileBookmark::resolve(store.bookmarkData().at(2))->isStale);
    EXPECT_FALSE(controller.hasAccess(moved));

    // The next addition forgets the bookmarks that no longer resolve.
    const QUrl added = make(QStringLiteral("added"), true);
    controller.grantAccess(added);
    EXPECT_EQ(store.urls(), (QList<QUrl> {replaced, added}));
    EXPECT_EQ(storedArray().size(), 2);

    // An unreadable value is replaced by the new location alone.
    UserDefaults::standard().setValue(QStringLiteral("bookmarks"), QByteArrayLiteral("garbage"));
    const QUrl last = make(QStringLiteral("last.txt"));
    controller.grantAccess(last);
    EXPECT_EQ(store.urls(), (QList<QUrl> {last}));
}

TEST_F(BookmarksTest, ResolverAnswersWithinItsTimeOutAndRemembersStuckData)
{
    const QUrl file = make(QStringLiteral("quick.txt"));
    URLResolver resolver;
    const std::optional<QByteArray> created = FileBookmark::create(file);
    ASSERT_TRUE(created.has_value());
    const QByteArray good = *created;
    EXPECT_EQ(resolver.resolve(good, 5.0), file);
    EXPECT_FALSE(resolver.isStuck(good));

    // Malformed data fails at once and is stuck from then on.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(resolver.resolve(QByteArrayLiteral("junk"), 5.0), std::nullopt);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(resolver.isStuck(QByteArrayLiteral("junk")));

    // A time-out of 0 with work that has not finished yet gives nothing and marks the data stuck.
    QFile::remove(file.toLocalFile());
    EXPECT_EQ(resolver.resolve(good, 0.0), std::nullopt);
    EXPECT_TRUE(resolver.isStuck(good));
    make(QStringLiteral("quick.txt"));
    EXPECT_EQ(resolver.resolve(good, 5.0), std::nullopt);
    EXPECT_EQ(resolver.stuckURLs().size(), 2);
}

TEST_F(BookmarksTest, ResolutionThatHangsCostsTheWaitOnlyOnce)
{
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
        std::atomic<int> calls = 0;
    };
    auto gate = std::make_shared<Gate>();
    URLResolver resolver([gate](const QByteArray &) -> std::optional<QUrl> {
        ++gate->calls;
        std::unique_lock lock(gate->mutex);
        gate->opened.wait(lock, [&] { return gate->open; });
        return QUrl::fromLocalFile(QStringLiteral("/late"));
    });

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(resolver.resolve(QByteArrayLiteral("slow"), 0.2), std::nullopt);
    const qint64 waited = clock.elapsed();
    EXPECT_GE(waited, 190);
    EXPECT_LT(waited, 3000);
    EXPECT_TRUE(resolver.isStuck(QByteArrayLiteral("slow")));

    clock.restart();
    EXPECT_EQ(resolver.resolve(QByteArrayLiteral("slow"), 5.0), std::nullopt);
    EXPECT_LT(clock.elapsed(), 2500) << "stuck data answers at once, not after its 5 s time-out";
    EXPECT_EQ(gate->calls, 1);

    // Let the hanging work finish; its late result goes nowhere.
    {
        std::lock_guard lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    EXPECT_EQ(resolver.resolve(QByteArrayLiteral("other"), 5.0),
              QUrl::fromLocalFile(QStringLiteral("/late")));
    EXPECT_FALSE(resolver.isStuck(QByteArrayLiteral("other")));

    URLResolver::setShared(nullptr);
    EXPECT_TRUE(URLResolver::shared().stuckURLs().isEmpty());
}
