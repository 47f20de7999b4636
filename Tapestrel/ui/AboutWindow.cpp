#include "AboutWindow.h"

#include "AppInfo.h"

#include <QLabel>
#include <QVBoxLayout>

AboutWindow::AboutWindow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setProperty("windowId", windowId);
    setWindowTitle(tr("About %1").arg(AppInfo::name));
    auto *layout = new QVBoxLayout(this);
    auto *icon = new QLabel;
    icon->setPixmap(AppInfo::icon().pixmap(96, 96));
    icon->setAlignment(Qt::AlignCenter);
    auto *name = new QLabel(AppInfo::name);
    name->setObjectName(QStringLiteral("name"));
    QFont font = name->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    name->setFont(font);
    name->setAlignment(Qt::AlignCenter);
    auto *version = new QLabel(tr("Version %1").arg(AppInfo::version()));
    version->setObjectName(QStringLiteral("version"));
    version->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);
    layout->addWidget(name);
    layout->addWidget(version);
    setFixedSize(sizeHint().expandedTo(QSize(280, 0)));
}
