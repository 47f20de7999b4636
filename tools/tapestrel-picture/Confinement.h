#pragma once

#include <QStringList>
#include <QtGlobal>

// The kernel's confinement of the decoding process, set once it has loaded what it needs and before
// it starts any thread: whatever a decoder is made to do after that, the process
// - gains no privilege (no_new_privs) and can run no other program;
// - opens no file by name but for reading below the `readable` folders (Landlock; files already open,
//   such as the picture and the canvases it is handed, stay usable);
// - makes no socket and no connection, reaches no abstract socket, and signals, traces or reads the
//   memory of no process but itself, and types into no terminal (seccomp, and Landlock's network
//   rights and scopes where the kernel has them).
namespace Confinement {

// What the kernel could not refuse the process: bits of PictureProtocol::Unconfined (0: all of it).
quint32 confine(const QStringList &readable);

// The folders whose files the decoders read as they go: Qt's plugins, the system's libraries (which
// plugins load) and fonts (an SVG's text). None of them holds a user's files.
QStringList decodersFolders();

} // namespace Confinement
