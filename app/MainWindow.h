// SPDX-License-Identifier: Apache-2.0
// The program's one window: the search values, the options, the two folder
// rows with the start button and the status line. Options are loaded from the
// settings file once, at construction; each control writes its key back the
// moment the user changes it. A job runs in a fresh worker thread per start.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QSystemTrayIcon>

class QCloseEvent;
class QThread;
class MergeObject;
class SystemTray;

namespace Ui {
class MainWindow;
}

// Where the window stands: centred across, one third of the free height down.
// Integer division truncates toward zero, so a small screen gives a negative origin.
QPoint windowOrigin(const QSize &screen, const QSize &window);

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // True from a start until the job's end signal arrives.
    bool isJobRunning() const { return jobRunning_; }
    // The latest job's thread and worker; null before the first start.
    QThread *workerThread() const { return workerThread_; }
    QObject *worker() const;

signals:
    void pBtn_ExcelFilter_HasClicked();

public slots:
    void ShowSoftWindow();
    void SystemTrayActivated(QSystemTrayIcon::ActivationReason reason);

private slots:
    void on_ShowDisposingFile(QString filePath);
    void on_pBtn_SourcePath_clicked();
    void on_pBtn_ExcelFilter_clicked();
    void on_pBtn_Stop_clicked();
    void on_cBox_JustFindOneCol_clicked();
    void on_rBtn_xlWhole_clicked();
    void on_rBtn_xlPath_clicked();
    void on_sBox_JustFindOneCol_valueChanged(QString arg1);
    void on_pBtn_SavePath_clicked();
    void on_pBtn_HeaderExcelFile_clicked();
    void on_cBox_HeaderExcelFile_clicked();
    void on_cBox_OneDateOneBook_clicked();
    void on_cBox_NoDataNoFile_clicked();
    void on_cBox_AppointedSheet_clicked();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // The job's end signal, connected by hand: a slot of this name would send
    // Qt's connect-by-name looking for an object called "Signal".
    void on_Signal_SetButtonEnable();
    void on_ShowProgress(int filesDone, int filesTotal, int valueNumber, int valueCount);
    // After a job: the closing report, when anything needs the user's attention.
    void showClosingReport();
    void loadOptions();
    void writeKey(const char *key, const QString &value);
    void writeFlag(const char *key, bool set);
    // Asks for a folder; the chosen one, with a separator appended, or empty.
    QString chooseFolder();
    void fillOptionSet();
    // Ends the previous job's thread before its worker goes.
    void disposeWorker();

    Ui::MainWindow *ui;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    int windowHeight_ = 0;
    int windowWidth_ = 0;
    SystemTray *tray_ = nullptr;
    QThread *workerThread_ = nullptr;
    MergeObject *worker_ = nullptr;
    bool jobRunning_ = false;
};
