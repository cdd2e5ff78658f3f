// Standard output as the results' one way out: every write checked, so that a full disk, a
// closed pipe or a closed descriptor is told rather than lost, and never stops device work.
#pragma once

#include <QByteArray>
#include <QString>

namespace kvu::ctl {

// Call first: a standard descriptor closed at start is held on the null device, so that no file
// or port opened later takes its number; a closed standard output is remembered as such.
void guardStandardStreams();

// The whole text on standard output, flushed; false with the reason. Safe from any thread.
bool writeOut(const QByteArray& text, QString& error);

// On standard error, as far as it goes: progress and messages never fail the run.
void writeErr(const QByteArray& text);

}  // namespace kvu::ctl
