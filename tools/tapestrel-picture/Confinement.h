#pragma once

#include <QStringList>
#include <QtGlobal>

// The kernel's confinement of the decoding process, set once it has loaded what it needs and before
// it starts any thread: whatever a decoder is made to do after that, the process
// - gains no privilege (no_new_privs) and holds no capability, also when run as root;
// - opens no file by name but for reading below the `readable` folders (Landlock; files already open,
//   such as the picture and the canvases it is handed, stay usable);
// - makes only the calls that decoding makes (seccomp, an allow list): no socket or connection, no
//   process, program or namespace, no change to a file's mode, owner, times or attributes, no shared
//   memory; calls that name a process act on the process itself alone; and it types into no terminal.
//   A call of another architecture (32-bit calls) ends it. Landlock's network rights and scopes add to
//   this where the kernel has them.
namespace Confinement {

// What the kernel could not refuse the process: bits of PictureProtocol::Unconfined (0: all of it).
quint32 confine(const QStringList &readable);

// The folders whose files the decoders read as they go: Qt's plugins, the system's libraries (which
// plugins load), and the system's and the user's fonts (an SVG's text). None of them holds a user's
// other files.
QStringList decodersFolders();

} // namespace Confinement
