// SPDX-License-Identifier: Apache-2.0
// Options chosen in the window outlive a restart: in the user's configuration
// folder for an installed copy, in its own file for a portable one.
#include "AppTestSupport.h"

#include "app/MainWindow.h"
#include "app/startup/SettingsLocation.h"
#include "app/startup/StartupState.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SettingsPlace : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::application();
        ASSERT_TRUE(root_.isValid());
        ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("bin")));
        configHome_ = root_.filePath(QStringLiteral("home/.config"));
    }
    void TearDown() override { apptest::setStartupState(QString()); }

    // Start-up as main() runs it, for a copy in bin/ and a user whose home is home/.
    void startUp() {
        const QByteArray exe = QFile::encodeName(root_.filePath(QStringLiteral("bin/RowSifter")));
        const char *argv[] = {exe.constData()};
        startup::recordCommandLine(1, argv);
        ASSERT_EQ(startup::fillSettingsFilePath(), 0);
        const QByteArray home = QFile::encodeName(root_.filePath(QStringLiteral("home")));
        ASSERT_EQ(startup::chooseSettingsFile(startup::userSettingsPathFrom(nullptr, home.constData()).c_str(), ""), 0);
    }
    template <typename T>
    static T *child(MainWindow &w, const char *name) {
        return w.findChild<T *>(QString::fromLatin1(name));
    }
    QString userFile() const { return configHome_ + QStringLiteral("/RowSifter/RowSifter.rsf"); }
    QString portableFile() const { return root_.filePath(QStringLiteral("bin/RowSifter.rsf")); }
    static QByteArray bytesOf(const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir root_;
    QString configHome_;
};

TEST_F(SettingsPlace, InstalledCopyKeepsOptionsInTheConfigFolder) {
    startUp();
    EXPECT_EQ(QFile::decodeName(settingsFilePath), userFile());
    {
        MainWindow window;
        // Starting and looking around writes nothing.
        EXPECT_FALSE(QFileInfo::exists(configHome_));
        child<QRadioButton>(window, "rBtn_xlWhole")->click();
        child<QCheckBox>(window, "cBox_OneDateOneBook")->click();
    }
    EXPECT_EQ(bytesOf(userFile()), QByteArray("xlWhole=y\r\nOneDateOneBook=y\r\n"));
    EXPECT_EQ(static_cast<int>(QFileInfo(configHome_ + QStringLiteral("/RowSifter")).permissions()) & 0x0077, 0)
        << "the folder is the user's own";
    EXPECT_FALSE(QFileInfo::exists(portableFile())) << "nothing is made beside the executable";

    startUp();
    MainWindow restarted;
    EXPECT_TRUE(child<QRadioButton>(restarted, "rBtn_xlWhole")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(restarted, "cBox_OneDateOneBook")->isChecked());
    child<QCheckBox>(restarted, "cBox_OneDateOneBook")->click();
    EXPECT_EQ(bytesOf(userFile()), QByteArray("xlWhole=y\r\nOneDateOneBook=n\r\n"));
}

TEST_F(SettingsPlace, PortableCopyKeepsUsingItsOwnFile) {
    {
        QFile portable(portableFile());
        ASSERT_TRUE(portable.open(QIODevice::WriteOnly));
    }
    startUp();
    EXPECT_EQ(QFile::decodeName(settingsFilePath), portableFile());
    {
        MainWindow window;
        child<QCheckBox>(window, "cBox_OneDateOneBook")->click();
    }
    EXPECT_EQ(bytesOf(portableFile()), QByteArray("OneDateOneBook=y\r\n"));
    EXPECT_FALSE(QFileInfo::exists(configHome_));

    startUp();
    MainWindow restarted;
    EXPECT_TRUE(child<QCheckBox>(restarted, "cBox_OneDateOneBook")->isChecked());
}

TEST_F(SettingsPlace, PortableFileRemovedFallsBackToTheConfigFolder) {
    {
        QFile portable(portableFile());
        ASSERT_TRUE(portable.open(QIODevice::WriteOnly));
        portable.write("xlWhole=y\r\n");
    }
    startUp();
    ASSERT_TRUE(QFile::remove(portableFile()));
    startUp();
    MainWindow window;
    // The options of the removed file are not carried over.
    EXPECT_FALSE(child<QRadioButton>(window, "rBtn_xlWhole")->isChecked());
    child<QRadioButton>(window, "rBtn_xlWhole")->click();
    EXPECT_EQ(bytesOf(userFile()), QByteArray("xlWhole=y\r\n"));
    EXPECT_FALSE(QFileInfo::exists(portableFile()));
}

TEST_F(SettingsPlace, UnusableConfigFolderKeepsChangesInTheWindow) {
    // A file where the configuration folder belongs.
    ASSERT_TRUE(QDir(root_.path()).mkpath(QStringLiteral("home")));
    {
        QFile blocker(configHome_);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    startUp();
    MainWindow window;
    child<QRadioButton>(window, "rBtn_xlWhole")->click();
    EXPECT_TRUE(child<QRadioButton>(window, "rBtn_xlWhole")->isChecked());
    EXPECT_TRUE(QFileInfo(configHome_).isFile());
    EXPECT_EQ(QFileInfo(configHome_).size(), 0);
}

}  // namespace
