// SPDX-License-Identifier: Apache-2.0
// The real program started as a menu starts an installed copy (its bare name,
// found through PATH): it reads the options file start-up picked. A stored
// column above the limit is clamped and written back as the window loads,
// which shows from outside which file was read; the other file, read at the
// same moment or not at all, stays as it was.
#include "app/startup/ProcessList.h"
#include "app/startup/StartupState.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int kStartMs = 15000;
constexpr int kPollMs = 50;
const QByteArray kStored("FindOneColNum=300\r\n");
const QByteArray kClamped("FindOneColNum=256\r\n");

class InstalledStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetProcessCountByName(startup::kProcessName) > 0)
            GTEST_SKIP() << "another copy of the program runs on this machine";
        ASSERT_TRUE(root_.isValid());
        QDir root(root_.path());
        ASSERT_TRUE(root.mkpath(QStringLiteral("bin")) && root.mkpath(QStringLiteral("home/work")) &&
                    root.mkpath(QStringLiteral("config/RowSifter")));
        const QString exe = root_.filePath(QStringLiteral("bin/") + QLatin1String(startup::kProcessName));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ROWSIFTER_EXE), exe));
        QFile::setPermissions(exe, QFile::permissions(exe) | QFile::ExeOwner);
    }
    void TearDown() override {
        if (program_.state() != QProcess::NotRunning) {
            program_.kill();
            program_.waitForFinished(5000);
        }
    }
    QString path(const char *relative) const { return root_.filePath(QString::fromLatin1(relative)); }
    static void write(const QString &file, const QByteArray &bytes) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    static QByteArray read(const QString &file) {
        QFile in(file);
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(none)");
    }
    // Starts it by its bare name from a working folder in the user's home.
    void startByName() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("PATH"), path("bin") + QStringLiteral(":/usr/bin:/bin"));
        env.insert(QStringLiteral("HOME"), path("home"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
        program_.setProcessEnvironment(env);
        program_.setWorkingDirectory(path("home/work"));
        program_.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exec RowSifter")});
        ASSERT_TRUE(program_.waitForStarted(kStartMs));
    }
    // true once file holds bytes; false when the program ended or never wrote them.
    bool waitForContent(const QString &file, const QByteArray &bytes) {
        for (int waited = 0; waited < kStartMs; waited += kPollMs) {
            if (read(file) == bytes) return true;
            if (program_.state() == QProcess::NotRunning) return false;
            QThread::msleep(kPollMs);
        }
        return false;
    }

    QTemporaryDir root_;
    QProcess program_;
};

TEST_F(InstalledStart, ReadsTheConfigFolderNotTheWorkingFolder) {
    write(path("config/RowSifter/RowSifter.rsf"), kStored);
    write(path("home/work/RowSifter.rsf"), kStored);
    startByName();
    ASSERT_TRUE(waitForContent(path("config/RowSifter/RowSifter.rsf"), kClamped))
        << program_.readAllStandardError().toStdString();
    EXPECT_EQ(read(path("home/work/RowSifter.rsf")), kStored);
    EXPECT_FALSE(QFile::exists(path("bin/RowSifter.rsf")));
}

TEST_F(InstalledStart, PortableFileBesideTheProgramIsReadInstead) {
    write(path("config/RowSifter/RowSifter.rsf"), kStored);
    write(path("bin/RowSifter.rsf"), kStored);
    startByName();
    ASSERT_TRUE(waitForContent(path("bin/RowSifter.rsf"), kClamped)) << program_.readAllStandardError().toStdString();
    EXPECT_EQ(read(path("config/RowSifter/RowSifter.rsf")), kStored);
}

}  // namespace
