// SPDX-License-Identifier: Apache-2.0
// Real processes: a second start while a first copy runs asks the first to
// come forward and leaves; the first keeps running.
#include "app/startup/ProcessList.h"
#include "app/startup/StartupState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int kStartMs = 15000;
constexpr int kSecondCopyMs = 15000;
// Long enough for the first copy's window and listener to be up.
constexpr int kSettleMs = 1500;

class StartupProcesses : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetProcessCountByName(startup::kProcessName) > 0)
            GTEST_SKIP() << "another copy of the program runs on this machine";
        ASSERT_TRUE(folder_.isValid());
        exe_ = folder_.filePath(QString::fromLatin1(startup::kProcessName));
        ASSERT_TRUE(QFile::copy(QStringLiteral(ROWSIFTER_EXE), exe_));
        QFile::setPermissions(exe_, QFile::permissions(exe_) | QFile::ExeOwner);
        QFile settings(folder_.filePath(QString::fromLatin1(startup::kSettingsFileName)));
        ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
        settings.write("xlWhole=y\r\n");
    }
    void TearDown() override {
        for (QProcess *p : {&first_, &second_}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }
    void prepare(QProcess &p) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(folder_.path());
        p.setProgram(exe_);
    }

    QTemporaryDir folder_;
    QString exe_;
    QProcess first_;
    QProcess second_;
};

// The package installs the built file under its own name; the start-up check
// looks for copies by that name, so the two must not drift apart.
TEST(StartupNames, BuiltProgramCarriesTheNameTheCheckLooksFor) {
    EXPECT_EQ(QFileInfo(QStringLiteral(ROWSIFTER_EXE)).fileName(), QString::fromLatin1(startup::kProcessName));
}

TEST_F(StartupProcesses, SecondStartHandsOverToTheRunningCopy) {
    prepare(first_);
    first_.start();
    ASSERT_TRUE(first_.waitForStarted(kStartMs));
    QThread::msleep(kSettleMs);
    ASSERT_EQ(first_.state(), QProcess::Running) << first_.readAllStandardError().toStdString();

    prepare(second_);
    second_.start();
    ASSERT_TRUE(second_.waitForStarted(kStartMs));
    // It leaves on its own: the first copy acknowledged the show request.
    ASSERT_TRUE(second_.waitForFinished(kSecondCopyMs));
    EXPECT_EQ(second_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second_.exitCode(), 0);

    EXPECT_FALSE(first_.waitForFinished(500));
    EXPECT_EQ(first_.state(), QProcess::Running);
    EXPECT_EQ(GetProcessCountByName(startup::kProcessName), 1);
}

TEST_F(StartupProcesses, CopyUnderAnotherNameDoesNotTakePart) {
    const QString other = folder_.filePath(QStringLiteral("OtherName"));
    ASSERT_TRUE(QFile::copy(exe_, other));
    prepare(first_);
    first_.start();
    ASSERT_TRUE(first_.waitForStarted(kStartMs));
    QThread::msleep(kSettleMs);
    ASSERT_EQ(first_.state(), QProcess::Running);

    prepare(second_);
    second_.setProgram(other);
    second_.start();
    ASSERT_TRUE(second_.waitForStarted(kStartMs));
    // Not counted as a copy: it neither hands over nor ends the first.
    EXPECT_FALSE(second_.waitForFinished(kSettleMs));
    EXPECT_EQ(second_.state(), QProcess::Running);
    EXPECT_EQ(first_.state(), QProcess::Running);
}

}  // namespace
