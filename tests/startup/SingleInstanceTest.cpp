// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/startup/PrivateRuntimeFolder.h"
#include "app/startup/SingleInstance.h"
#include "app/startup/StartupState.h"
#include "tests/startup/HelperProcesses.h"

namespace fs = std::filesystem;

namespace {

constexpr int kAnswerMs = 1000;
// An unprivileged id, to stand for another local user.
constexpr uid_t kOtherUser = 65534;

// A running copy: a SingleInstance answering in a thread with its own event
// loop, as the GUI thread of the real program would.
class RunningCopy {
public:
    RunningCopy() {
        instance_ = new SingleInstance;
        instance_->moveToThread(&thread_);
        QObject::connect(
            instance_, &SingleInstance::showRequested, instance_, [this] { ++shows; }, Qt::DirectConnection);
        thread_.start();
    }
    ~RunningCopy() {
        QMetaObject::invokeMethod(
            instance_, [this] { delete instance_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    bool listen(const QString &name) {
        bool listening = false;
        QMetaObject::invokeMethod(
            instance_, [&] { listening = instance_->listen(name); }, Qt::BlockingQueuedConnection);
        return listening;
    }

    std::atomic<int> shows{0};

private:
    QThread thread_;
    SingleInstance *instance_ = nullptr;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) {
            static int argc = 1;
            static char arg0[] = "test_startup";
            static char *argv[] = {arg0, nullptr};
            static QCoreApplication app(argc, argv);
        }
    }
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "rsf_si_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        folder_ = pattern;
        // A full path keeps these servers apart from any real copy's name.
        serverName = QString::fromStdString(folder_ + "/server");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    // What a copy that died leaves behind: a socket file nobody listens on.
    bool leaveStaleSocket() const {
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) return false;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = serverName.toStdString();
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        const bool bound = bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        close(fd);
        return bound && fs::exists(path);
    }

    std::string folder_;
    QString serverName;
};

TEST_F(SingleInstanceTest, NobodyListeningGetsNoAnswer) {
    EXPECT_FALSE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
}

TEST_F(SingleInstanceTest, RunningCopyShowsOncePerRequest) {
    RunningCopy running;
    ASSERT_TRUE(running.listen(serverName));
    EXPECT_TRUE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    EXPECT_EQ(running.shows.load(), 1);
    EXPECT_TRUE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    EXPECT_EQ(running.shows.load(), 2);
}

TEST_F(SingleInstanceTest, SecondListenerCannotTakeALiveName) {
    RunningCopy first;
    ASSERT_TRUE(first.listen(serverName));
    RunningCopy second;
    EXPECT_FALSE(second.listen(serverName));
    EXPECT_TRUE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    EXPECT_EQ(first.shows.load(), 1);
    EXPECT_EQ(second.shows.load(), 0);
}

TEST_F(SingleInstanceTest, NameLeftByADeadCopyIsTakenOver) {
    ASSERT_TRUE(leaveStaleSocket());
    RunningCopy running;
    ASSERT_TRUE(running.listen(serverName));
    EXPECT_TRUE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    EXPECT_EQ(running.shows.load(), 1);
}

TEST_F(SingleInstanceTest, AskingADeadCopyClearsItsName) {
    ASSERT_TRUE(leaveStaleSocket());
    EXPECT_FALSE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    EXPECT_FALSE(fs::exists(serverName.toStdString()));
}

TEST_F(SingleInstanceTest, ForeignRequestsAreNotObeyed) {
    RunningCopy running;
    ASSERT_TRUE(running.listen(serverName));
    for (const char *request : {"hide\n", "showshow\n", "show"}) {
        QLocalSocket socket;
        socket.connectToServer(serverName);
        ASSERT_TRUE(socket.waitForConnected(kAnswerMs));
        socket.write(request);
        socket.waitForBytesWritten(kAnswerMs);
        // Either the copy drops the connection or keeps waiting for a whole line; it never answers.
        EXPECT_FALSE(socket.waitForReadyRead(200) && socket.bytesAvailable() > 0) << request;
    }
    EXPECT_EQ(running.shows.load(), 0);
    EXPECT_TRUE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    EXPECT_EQ(running.shows.load(), 1);
}

// Sets an environment variable for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char *name, const std::string &value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name_, QByteArray::fromStdString(value));
    }
    ~ScopedVariable() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

TEST_F(SingleInstanceTest, DefaultNameIsInTheUsersPrivateFolder) {
    const std::string temp = folder_ + "/tmp";
    ASSERT_TRUE(fs::create_directory(temp));
    ScopedVariable tmpdir("TMPDIR", temp);
    {
        ScopedVariable runtime("XDG_RUNTIME_DIR", folder_);
        EXPECT_EQ(QFileInfo(SingleInstance::defaultServerName()).path().toStdString(), folder_);
    }
    for (const std::string &runtime : {std::string(), temp}) {
        // Unset, or a folder others may enter (the temporary folder itself).
        ScopedVariable variable("XDG_RUNTIME_DIR", runtime);
        const QString name = SingleInstance::defaultServerName();
        const std::string own = temp + "/" + startup::kRuntimeFolderPrefix + std::to_string(getuid());
        EXPECT_EQ(QFileInfo(name).path().toStdString(), own) << runtime;
        EXPECT_TRUE(startup::isPrivateFolder(own));
    }
    RunningCopy running;
    ASSERT_TRUE(running.listen(SingleInstance::defaultServerName()));
    EXPECT_TRUE(SingleInstance::askRunningCopyToShow(kAnswerMs, SingleInstance::defaultServerName()));
    EXPECT_EQ(running.shows.load(), 1);
}

TEST_F(SingleInstanceTest, NoPrivateFolderMeansNoSocket) {
    const std::string temp = folder_ + "/tmp";
    ASSERT_TRUE(fs::create_directory(temp));
    // Something not of the user's making stands where the own folder goes.
    const std::string own = temp + "/" + startup::kRuntimeFolderPrefix + std::to_string(getuid());
    ASSERT_EQ(symlink(folder_.c_str(), own.c_str()), 0);
    ScopedVariable tmpdir("TMPDIR", temp);
    ScopedVariable runtime("XDG_RUNTIME_DIR", "");
    const QString name = SingleInstance::defaultServerName();
    EXPECT_TRUE(name.isEmpty());
    EXPECT_FALSE(SingleInstance::askRunningCopyToShow(kAnswerMs, name));
    RunningCopy running;
    EXPECT_FALSE(running.listen(name));
}

TEST_F(SingleInstanceTest, SocketOfAnotherUserIsNeitherAskedNorTakenOver) {
    if (geteuid() != 0) GTEST_SKIP() << "planting another user's socket needs root";
    RunningCopy planted;
    ASSERT_TRUE(planted.listen(serverName));
    ASSERT_EQ(lchown(serverName.toStdString().c_str(), kOtherUser, kOtherUser), 0);
    // The request would reach the other user's listener: it is never sent.
    EXPECT_FALSE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    EXPECT_EQ(planted.shows.load(), 0);

    RunningCopy mine;
    EXPECT_FALSE(mine.listen(serverName));
    EXPECT_TRUE(startup::isHeldByAnotherUser(serverName.toStdString()));
}

TEST_F(SingleInstanceTest, StaleSocketOfAnotherUserIsNotRemoved) {
    if (geteuid() != 0) GTEST_SKIP() << "planting another user's socket needs root";
    ASSERT_TRUE(leaveStaleSocket());
    ASSERT_EQ(lchown(serverName.toStdString().c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_FALSE(SingleInstance::askRunningCopyToShow(kAnswerMs, serverName));
    RunningCopy running;
    EXPECT_FALSE(running.listen(serverName));
    EXPECT_TRUE(startup::isHeldByAnotherUser(serverName.toStdString()));
}

// The start-up rule, with helper processes in the place of other copies.
class SettleTest : public SingleInstanceTest {};

TEST_F(SettleTest, AloneStartUpGoesOnWithoutAsking) {
    HelperProcesses copies("rowsifter-copy-");
    ASSERT_TRUE(copies.ready());
    const pid_t self = copies.start();
    ASSERT_TRUE(copies.waitForCount(1));
    RunningCopy running;
    ASSERT_TRUE(running.listen(serverName));
    EXPECT_EQ(startup::settleSingleInstanceFor(copies.name().c_str(), serverName, kAnswerMs),
              startup::InstanceOutcome::GoOn);
    EXPECT_EQ(running.shows.load(), 0);
    EXPECT_TRUE(copies.isRunning(self));
}

TEST_F(SettleTest, AnsweringCopyIsShownAndNothingIsEnded) {
    HelperProcesses copies("rowsifter-copy-");
    ASSERT_TRUE(copies.ready());
    const pid_t first = copies.start();
    const pid_t second = copies.start();
    ASSERT_TRUE(copies.waitForCount(2));
    RunningCopy running;
    ASSERT_TRUE(running.listen(serverName));
    EXPECT_EQ(startup::settleSingleInstanceFor(copies.name().c_str(), serverName, kAnswerMs),
              startup::InstanceOutcome::ExitNow);
    EXPECT_EQ(running.shows.load(), 1);
    EXPECT_TRUE(copies.isRunning(first));
    EXPECT_TRUE(copies.isRunning(second));
}

TEST_F(SettleTest, WithoutUsableSocketCopiesRunSideBySide) {
    HelperProcesses copies("rowsifter-copy-");
    ASSERT_TRUE(copies.ready());
    const pid_t first = copies.start();
    const pid_t second = copies.start();
    ASSERT_TRUE(copies.waitForCount(2));
    std::vector<QString> names{QString()};
    if (geteuid() == 0) {
        // A socket another user left: asking it is refused, and that is no silence of this user's copy.
        ASSERT_TRUE(leaveStaleSocket());
        ASSERT_EQ(lchown(serverName.toStdString().c_str(), kOtherUser, kOtherUser), 0);
        names.push_back(serverName);
    }
    for (const QString &name : names) {
        EXPECT_EQ(startup::settleSingleInstanceFor(copies.name().c_str(), name, kAnswerMs),
                  startup::InstanceOutcome::GoOn);
    }
    EXPECT_TRUE(copies.isRunning(first));
    EXPECT_TRUE(copies.isRunning(second));
}

TEST_F(SettleTest, SilentCopyMeansTheFirstInTheListIsEnded) {
    HelperProcesses copies("rowsifter-copy-");
    ASSERT_TRUE(copies.ready());
    const pid_t first = copies.start();
    const pid_t second = copies.start();
    ASSERT_TRUE(copies.waitForCount(2));
    EXPECT_EQ(startup::settleSingleInstanceFor(copies.name().c_str(), serverName, kAnswerMs),
              startup::InstanceOutcome::GoOn);
    EXPECT_EQ(copies.reap(std::min(first, second)), SIGKILL);
    EXPECT_TRUE(copies.isRunning(std::max(first, second)));
}

}  // namespace
