#include "processes.h"

#include <QDir>
#include <QFile>
#include <csignal>
#include <unistd.h>

namespace {

// The fields of /proc/PID/stat after the command name, which may hold spaces
// and parentheses: the third field of the file is the first here.
QList<QByteArray> StatFields(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = file.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    return stat.mid(close + 1).simplified().split(' ');
}

} // namespace

std::vector<pid_t> ProcessTree(pid_t root)
{
    std::vector<std::pair<pid_t, pid_t>> parents;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        const int parent = StatFields(pid).value(1).toInt(&ok);
        if (ok)
            parents.emplace_back(pid, parent);
    }
    std::vector<pid_t> tree{root};
    for (size_t i = 0; i < tree.size(); ++i)
        for (const auto& [pid, parent] : parents)
            if (parent == tree[i])
                tree.push_back(pid);
    return tree;
}

std::optional<double> ProcessorSeconds(pid_t pid)
{
    // utime and stime are the 14th and 15th fields of the file, in clock ticks.
    const QList<QByteArray> fields = StatFields(pid);
    bool userOk = false, systemOk = false;
    const double ticks = fields.value(11).toDouble(&userOk) + fields.value(12).toDouble(&systemOk);
    if (!userOk || !systemOk)
        return std::nullopt;
    return ticks / double(sysconf(_SC_CLK_TCK));
}

void KillTree(QProcess& program)
{
    if (program.state() == QProcess::NotRunning)
        return;
    for (pid_t pid : ProcessTree(pid_t(program.processId())))
        ::kill(pid, SIGKILL);
    program.waitForFinished(10000);
}

QProcessEnvironment WithPrivateFolders(QProcessEnvironment env, const QString& home)
{
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"})
        env.insert(QLatin1String(name), home + QLatin1Char('/') + QLatin1String(name));
    const QString runtime = home + QStringLiteral("/runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return env;
}
