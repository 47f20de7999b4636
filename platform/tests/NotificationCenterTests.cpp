#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>

using Platform::NotificationCenter;

TEST(NotificationCenterTest, DeliversByNameUntilTheContextIsGone)
{
    NotificationCenter center;
    QStringList received;
    auto context = std::make_unique<QObject>();
    center.observe("Applied", context.get(),
                   [&](const QVariantMap &info) { received << "applied " + info.value("id").toString(); });
    QObject other;
    center.observe("Other", &other, [&](const QVariantMap &) { received << "other"; });

    center.post("Applied", {{"id", "p1"}});
    center.post("Other");
    center.post("Unknown", {{"id", "x"}});
    context.reset();
    center.post("Applied", {{"id", "p2"}});

    EXPECT_EQ(received, (QStringList {"applied p1", "other"}));
}
