#pragma once

#include <QImage>
#include <QLabel>
#include <QPointer>

#include <QCoro/QCoroTask>

#include <optional>

class AppConfig;

// The icon of the edition of an application that the program uses, square, `size` points wide.
// Until the icon has loaded, and when no edition is installed, it shows the "questionmark.app.dashed"
// symbol. Every time it comes into view it looks the icon up again, so a choice of another edition
// or a new installation shows at the next appearance.
class AppIcon : public QLabel
{
    Q_OBJECT

public:
    static inline const QString fallbackSymbol = QStringLiteral("questionmark.app.dashed");

    // The record must outlive the view (the registry of integrated applications holds it).
    AppIcon(const AppConfig *app, int size, QWidget *parent = nullptr);

    const AppConfig *app() const { return m_app; }
    int iconSize() const { return m_size; }
    // The loaded icon, in the screen's pixels (`size` times the scale each way); none while loading or
    // when the application has none.
    std::optional<QImage> icon() const { return m_icon; }

    // Starts a lookup; showing the view does it too.
    void reload();

signals:
    // A lookup ended, with or without an icon.
    void iconLoaded();

protected:
    void showEvent(QShowEvent *event) override;

private:
    static QCoro::Task<void> load(QPointer<AppIcon> view, QString bundleIdentifier, int size, int generation);
    void setIcon(std::optional<QImage> icon, int generation);
    void refresh();

    const AppConfig *m_app;
    int m_size;
    std::optional<QImage> m_icon;
    // Only the latest lookup may write: an older one that ends later would show a stale edition.
    int m_generation = 0;
};
