// SPDX-License-Identifier: Apache-2.0
#include "AppTestSupport.h"

#include "app/startup/StartupState.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>
#include <xlsxwriter.h>

namespace apptest {

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }
    QApplication *get() {
        if (!app_) {
            static int argc = 1;
            static char name[] = "test_app";
            static char *argv[] = {name, nullptr};
            app_ = new QApplication(argc, argv);
            // Windows closed by tests must not end anything.
            app_->setQuitOnLastWindowClosed(false);
        }
        return app_;
    }

private:
    QApplication *app_ = nullptr;
};

QtEnvironment *environment() {
    static QtEnvironment *env = static_cast<QtEnvironment *>(::testing::AddGlobalTestEnvironment(new QtEnvironment));
    return env;
}

// Registered before main() runs, so the environment tears the application down.
const bool registered = (environment(), true);

}  // namespace

QApplication *application() { return environment()->get(); }

void setStartupState(const QString &settingsPath, const char *firstArg) {
    const QByteArray path = QFile::encodeName(settingsPath);
    qstrncpy(settingsFilePath, path.constData(), sizeof settingsFilePath);
    qstrncpy(::firstArg, firstArg, sizeof ::firstArg);
    // A file given here is one that must never be made.
    settingsFileMayBeCreated = false;
}

SettingsFixture::SettingsFixture(const char *content) {
    if (content) {
        QFile file(path());
        if (file.open(QIODevice::WriteOnly)) file.write(content);
    }
    setStartupState(path());
}

QString SettingsFixture::path() const { return dir_.filePath(QStringLiteral("RowSifter.rsf")); }

QByteArray SettingsFixture::bytes() const {
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

QMap<QString, QString> SettingsFixture::keys() const {
    QMap<QString, QString> map;
    for (const QByteArray &line : bytes().split('\n')) {
        QByteArray entry = line;
        if (entry.endsWith('\r')) entry.chop(1);
        const int eq = entry.indexOf('=');
        if (eq > 0) map.insert(QString::fromLocal8Bit(entry.left(eq)), QString::fromLocal8Bit(entry.mid(eq + 1)));
    }
    return map;
}

bool whileAnsweringModal(const std::function<void()> &action, const std::function<void(QWidget *)> &answer) {
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && !seen) {
            seen = true;
            answer(modal);
        }
    });
    poll.start();
    action();
    poll.stop();
    return seen;
}

bool waitFor(const std::function<bool()> &done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

bool writeWorkbook(const QString &path, const std::vector<std::vector<const char *>> &rows) {
    const QByteArray name = QFile::encodeName(path);
    lxw_workbook *book = workbook_new(name.constData());
    if (!book) return false;
    lxw_worksheet *sheet = workbook_add_worksheet(book, nullptr);
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c)
            worksheet_write_string(sheet, static_cast<lxw_row_t>(r), static_cast<lxw_col_t>(c), rows[r][c], nullptr);
    return workbook_close(book) == LXW_NO_ERROR;
}

}  // namespace apptest
