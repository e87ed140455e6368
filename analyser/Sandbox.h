// The helper's sandbox: no new privileges and a seccomp filter that refuses what reading a
// file never needs (opening for writing, making or removing files, sockets, starting
// programs, tracing). A refused call kills the helper, except for making a socket, which
// fails with an error: the C library's user look-ups try one as a matter of course. The
// only file that includes libseccomp's header.
#pragma once

#include <QString>
#include <QTextStream>

namespace perspix::analyser {

// Loads the filter into the calling process for good. False, with the reason, when the
// system gives no seccomp.
bool enterSandbox(QString* reason);

// Tries a write, a socket and an exec, each in a child of its own under the filter, and
// prints for each whether it was refused. 0 when all three were.
int checkSandbox(QTextStream& out);

} // namespace perspix::analyser
