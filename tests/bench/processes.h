#pragma once
// A program under measurement and the processes it starts (the web engine's
// helpers), read from /proc.
#include <QProcess>
#include <QProcessEnvironment>
#include <optional>
#include <sys/types.h>
#include <vector>

// The process and all its descendants, the process first.
std::vector<pid_t> ProcessTree(pid_t root);

// Processor time (user + system, all threads) a process has used, in
// seconds; nullopt when it is gone.
std::optional<double> ProcessorSeconds(pid_t pid);

// The program's helpers end with it, but a helper that missed its parent's
// end must not outlive the run: every process of the tree, found before the
// first kill, is killed.
void KillTree(QProcess& program);

// The environment with configuration, cache, data and runtime folders of
// their own below home, so that nothing of the user's is read or written
// (the booth records its folder in its settings, the web engine keeps caches).
QProcessEnvironment WithPrivateFolders(QProcessEnvironment env, const QString& home);
