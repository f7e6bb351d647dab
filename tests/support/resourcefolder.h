#pragma once
// The Resource folder beside a test program, laid out by the test.
#include "paths.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

// Empties the folder (and creates it).
inline void ResetResourceFolder()
{
    QDir(pelmora::ResourceFolder()).removeRecursively();
    QDir().mkpath(pelmora::ResourceFolder());
}

// Writes a file of the folder.
inline void WriteResourceFile(const QString& name, const QByteArray& bytes)
{
    QFile f(pelmora::ResourceFolder() + QLatin1Char('/') + name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}
