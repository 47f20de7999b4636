#pragma once

#include <QGuiApplication>
#include <QMetaObject>
#include <QSessionManager>

namespace TestSupport {

// The session manager's two kinds of save: of the user's data and state, or of the session's state
// alone.
enum class SessionSave { commitData, saveState };

// The session manager's request to save, as the toolkit raises it when a session manager sends one
// (no session manager runs for the tests).
inline void raiseSessionSave(SessionSave kind = SessionSave::commitData)
{
    // What follows the request reads nothing of the manager.
    alignas(QSessionManager) static unsigned char nobody[sizeof(QSessionManager)] = {};
    QMetaObject::invokeMethod(
        qApp, kind == SessionSave::commitData ? "commitDataRequest" : "saveStateRequest",
        Qt::DirectConnection, Q_ARG(QSessionManager &, *reinterpret_cast<QSessionManager *>(nobody)));
}

} // namespace TestSupport
