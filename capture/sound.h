#pragma once
// Playing a sound file to its end, as the Capture command does before the
// shutter animation.
#include <QString>

namespace pelmora {

// Where PlaySoundFile finds a sound: a name without a folder in the current
// folder, then in the program's folder; a path with a folder as it stands
// (relative to the current folder). Empty when there is no such file.
QString FindSoundFile(const QString& name);

// Plays the sound file and returns when it has finished. A file that cannot
// be found, or not played, gives the platform's beep instead, and false.
// Without an audio output the sound plays silently in real time; the wait is
// bounded by the sound's length plus a margin either way.
bool PlaySoundFile(const QString& name);

} // namespace pelmora
