#pragma once

#include <QStringList>
#include <QtGlobal>

#include <climits>

// The kernel's confinement of the decoding process, set once it has loaded what it needs and before
// it starts any thread: whatever a decoder is made to do after that, the process
// - gains no privilege (no_new_privs) and holds no capability, also when run as root;
// - reaches no other process's memory (a user namespace of its own);
// - opens no file by name but for reading below the `readable` folders (Landlock; files already open,
//   such as the picture and the canvases it is handed, stay usable);
// - makes only the calls that decoding makes (seccomp, an allow list): no socket or connection, no
//   process, program or namespace, no change to a file's mode, owner, times or attributes, no shared
//   memory and no file in memory; calls that name a process act on the process itself alone; and it
//   types into no terminal. A call of another architecture (32-bit calls) ends it. Landlock's network
//   rights and scopes add to this where the kernel has them.
// The filter alone holds where Landlock is missing or too old to know a right: no file is opened for
// writing, created or emptied (truncated), whatever Landlock lets through, and so nothing that reaches
// another process's memory (/proc/<pid>/mem) is opened for writing.
namespace Confinement {

// What the kernel could not refuse the process: bits of PictureProtocol::Unconfined (0: all of it).
// The tests' build of the process may ask to be confined as by Landlock of at most
// `landlockVersionAtMost`, and with a rule in the filter that cannot be added (said on standard error).
quint32 confine(const QStringList &readable, int landlockVersionAtMost = INT_MAX, bool unaddableRule = false);

// The folders whose files the decoders read as they go: Qt's plugins, the system's libraries (which
// plugins load), and the system's and the user's fonts (an SVG's text). None of them holds a user's
// other files.
QStringList decodersFolders();

} // namespace Confinement
