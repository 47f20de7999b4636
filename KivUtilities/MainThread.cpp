#include "KivUtilities/MainThread.h"

#include <QCoreApplication>
#include <QThread>

namespace KivUtilities {

void runOnMainThreadSync(const std::function<void()> &block)
{
    QCoreApplication *application = QCoreApplication::instance();
    if (!application || QThread::currentThread() == application->thread()) {
        block();
        return;
    }
    QMetaObject::invokeMethod(application, block, Qt::BlockingQueuedConnection);
}

} // namespace KivUtilities
