#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QLocalSocket>
#include <QThread>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "app/startup/SingleInstance.h"
#include "app/startup/StartupState.h"
#include "tests/startup/HelperProcesses.h"

namespace fs = std::filesystem;

namespace {

constexpr int kAnswerMs = 1000;

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

TEST_F(SingleInstanceTest, DefaultNameBelongsToThisUser) {
    const QString name = SingleInstance::defaultServerName();
    EXPECT_TRUE(name.startsWith(QLatin1String("RowSifter-")));
    EXPECT_TRUE(name.endsWith(QString::number(getuid())));
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
