// SPDX-License-Identifier: Apache-2.0
#include "app/MainWindow.h"
#include "ui_MainWindow.h"

#include "app/AppResources.h"
#include "app/ClosingReport.h"
#include "app/JobReportDialog.h"
#include "app/SystemTray.h"
#include "app/startup/StartupState.h"
#include "engine/MergeObject.h"
#include "engine/OptionSet.h"
#include "rowsifter/Version.h"
#include "settings/FileCreate.h"
#include "settings/SettingsFile.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>
#include <QScreen>
#include <QThread>

#include <cstring>
#include <vector>

namespace {

constexpr int kWindowWidth = 940;
constexpr int kShownWindowHeight = 480;
constexpr const char *kWorkerName = "tem";

// Persisted option keys, in the order they are loaded.
constexpr const char *kKeySourcePath = "SourcePath";
constexpr const char *kKeySavePath = "SavePath";
constexpr const char *kKeyHeaderExcelFile = "HeaderExcelFile";
constexpr const char *kKeyWholeCell = "xlWhole";
constexpr const char *kKeyColumnNumber = "FindOneColNum";
constexpr const char *kKeyOneColumn = "JustFindOneCol";
constexpr const char *kKeyOneBookPerValue = "OneDateOneBook";
constexpr const char *kKeyUseHeader = "cBoxHExcelFile";
constexpr const char *kKeyNoDataNoFile = "NoDataNoFile";

// Blank-separated so that Qt's own dialog matches each pattern; the
// semicolon form only works in the Windows native dialog.
constexpr const char *kWorkbookFilter = "*.xls *.xlsx *.xlsm";

constexpr const char *kFlagSet = "y";
constexpr const char *kFlagClear = "n";

bool flagIsSet(const char *value) { return value[0] == kFlagSet[0]; }

}  // namespace

QPoint windowOrigin(const QSize &screen, const QSize &window) {
    return QPoint((screen.width() - window.width()) / 2, (screen.height() - window.height()) / 3);
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
    ui->setupUi(this);

    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(0, 0);
    screenWidth_ = screenSize.width();
    screenHeight_ = screenSize.height();
    windowWidth_ = width();
    windowHeight_ = height();
    move(windowOrigin(screenSize, QSize(windowWidth_, windowHeight_)));

    setWindowTitle(QString::fromUtf8("筛行宝") + QStringLiteral(ROWSIFTER_VERSION));
    app::ensureResources();
    setWindowIcon(QIcon(QString::fromLatin1(app::kIconResource)));

    tray_ = new SystemTray(this);
    connect(tray_, SIGNAL(showWidget()), this, SLOT(ShowSoftWindow()));
    connect(tray_, SIGNAL(activated(QSystemTrayIcon::ActivationReason)), this,
            SLOT(SystemTrayActivated(QSystemTrayIcon::ActivationReason)));

    windowWidth_ = kWindowWidth;
    windowHeight_ = kShownWindowHeight;
    resize(windowWidth_, windowHeight_);

    loadOptions();
    // The progress row shows only while a job runs; the idle window has none.
    ui->wgt_Progress->hide();

    if (std::strcmp(firstArg, startup::kAutorunArg) != 0) show();

    workerThread_ = nullptr;
    worker_ = nullptr;
}

MainWindow::~MainWindow() {
    // A running job cannot be stopped; its pair is left to end with the process.
    if (!jobRunning_) disposeWorker();
    delete ui;
}

QObject *MainWindow::worker() const { return worker_; }

void MainWindow::closeEvent(QCloseEvent *event) { Q_UNUSED(event); }

void MainWindow::loadOptions() {
    // Heap buffers: the sizes are the settings file's own limits.
    std::vector<char> settingsText(settings::kSettingsTextSize, '\0');
    std::vector<char> value(settings::kValueBufferSize, '\0');
    settings::readFileText(settingsText.data(), settingsFilePath);
    auto lookUp = [&](const char *key) {
        settings::getKeyValue(value.data(), settingsText.data(), key, value.size());
        return value.data();
    };

    if (const char *v = lookUp(kKeySourcePath); v[0] != '\0') ui->lEdt_SourcePath->setText(QString::fromLocal8Bit(v));
    if (const char *v = lookUp(kKeySavePath); v[0] != '\0') ui->lEdt_SavePath->setText(QString::fromLocal8Bit(v));
    if (const char *v = lookUp(kKeyHeaderExcelFile); v[0] != '\0')
        ui->lEdt_HeaderExcelFile->setText(QString::fromLocal8Bit(v));

    if (flagIsSet(lookUp(kKeyWholeCell)))
        ui->rBtn_xlWhole->setChecked(true);
    else
        ui->rBtn_xlPath->setChecked(true);

    // The spin box clamps; a changed value writes itself back through its slot.
    if (const char *v = lookUp(kKeyColumnNumber); v[0] != '\0')
        ui->sBox_JustFindOneCol->setValue(QString::fromLocal8Bit(v).toInt(nullptr, 10));

    if (flagIsSet(lookUp(kKeyOneColumn))) {
        ui->cBox_JustFindOneCol->setChecked(true);
        ui->sBox_JustFindOneCol->setEnabled(true);
        ui->cBox_JustDataCols->setEnabled(false);
    }
    if (flagIsSet(lookUp(kKeyOneBookPerValue))) {
        ui->cBox_OneDateOneBook->setChecked(true);
        ui->cBox_NoDataNoFile->setEnabled(true);
    }
    if (flagIsSet(lookUp(kKeyUseHeader))) {
        ui->cBox_HeaderExcelFile->setChecked(true);
        ui->pBtn_HeaderExcelFile->setEnabled(true);
        ui->lEdt_HeaderExcelFile->setEnabled(true);
    }
    if (flagIsSet(lookUp(kKeyNoDataNoFile))) ui->cBox_NoDataNoFile->setChecked(true);
}

void MainWindow::writeKey(const char *key, const QString &value) {
    // Persisting is best effort: a missing file simply keeps the change in the
    // window, unless the file belongs in the user's configuration folder.
    const QByteArray bytes = value.toLocal8Bit();
    if (settingsFileMayBeCreated) settings::createFileWithFolders(settingsFilePath);
    settings::setKeyValue(settingsFilePath, key, bytes.constData());
}

void MainWindow::writeFlag(const char *key, bool set) {
    writeKey(key, QString::fromLatin1(set ? kFlagSet : kFlagClear));
}

QString MainWindow::chooseFolder() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QString::fromUtf8("选择文件夹"), QStringLiteral("."),
                                          QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (folder.isEmpty()) return QString();
    return QDir::toNativeSeparators(folder + QLatin1Char('/'));
}

void MainWindow::on_pBtn_SourcePath_clicked() {
    const QString folder = chooseFolder();
    if (folder.isEmpty()) return;
    ui->lEdt_SourcePath->setText(folder);
    writeKey(kKeySourcePath, folder);
}

void MainWindow::on_pBtn_SavePath_clicked() {
    const QString folder = chooseFolder();
    if (folder.isEmpty()) return;
    ui->lEdt_SavePath->setText(folder);
    writeKey(kKeySavePath, folder);
}

void MainWindow::on_pBtn_HeaderExcelFile_clicked() {
    const QString file = QFileDialog::getOpenFileName(nullptr, QString::fromUtf8("选择Excel文件"), QStringLiteral("."),
                                                      QString::fromLatin1(kWorkbookFilter));
    if (file.isEmpty()) return;
    ui->lEdt_HeaderExcelFile->setText(file);
    writeKey(kKeyHeaderExcelFile, file);
}

void MainWindow::on_rBtn_xlWhole_clicked() { writeFlag(kKeyWholeCell, true); }

void MainWindow::on_rBtn_xlPath_clicked() { writeFlag(kKeyWholeCell, false); }

void MainWindow::on_cBox_JustFindOneCol_clicked() {
    if (ui->cBox_JustFindOneCol->isChecked()) {
        ui->sBox_JustFindOneCol->setEnabled(true);
        writeFlag(kKeyOneColumn, true);
        ui->cBox_JustDataCols->setEnabled(false);
        ui->cBox_JustDataCols->setChecked(false);
    } else {
        ui->sBox_JustFindOneCol->setEnabled(false);
        writeFlag(kKeyOneColumn, false);
        ui->cBox_JustDataCols->setEnabled(true);
    }
}

void MainWindow::on_sBox_JustFindOneCol_valueChanged(QString arg1) { writeKey(kKeyColumnNumber, arg1); }

void MainWindow::on_cBox_HeaderExcelFile_clicked() {
    const bool checked = ui->cBox_HeaderExcelFile->isChecked();
    ui->pBtn_HeaderExcelFile->setEnabled(checked);
    ui->lEdt_HeaderExcelFile->setEnabled(checked);
    writeFlag(kKeyUseHeader, checked);
}

void MainWindow::on_cBox_OneDateOneBook_clicked() {
    const bool checked = ui->cBox_OneDateOneBook->isChecked();
    writeFlag(kKeyOneBookPerValue, checked);
    ui->cBox_NoDataNoFile->setEnabled(checked);
}

void MainWindow::on_cBox_NoDataNoFile_clicked() { writeFlag(kKeyNoDataNoFile, ui->cBox_NoDataNoFile->isChecked()); }

void MainWindow::on_cBox_AppointedSheet_clicked() {
    ui->lEdt_AppointedSheetName->setEnabled(ui->cBox_AppointedSheet->isChecked());
}

void MainWindow::on_pBtn_ExcelFilter_clicked() {
    engine::OptionSet &options = engine::optionSet();
    options.sourcePath = QDir::toNativeSeparators(ui->lEdt_SourcePath->text());
    options.savePath = QDir::toNativeSeparators(ui->lEdt_SavePath->text());
    if (!QFileInfo(options.sourcePath).isDir() || !QFileInfo(options.savePath).isDir()) {
        QMessageBox::about(this, QStringLiteral("Message:"),
                           QString::fromUtf8("被提取文件夹或保存文件夹路径不正确,请选择正确路径!"));
        return;
    }

    ui->lb_ShowDisposing->setText(QString());
    ui->pBtn_ExcelFilter->setEnabled(false);
    fillOptionSet();

    disposeWorker();
    workerThread_ = new QThread();
    workerThread_->start(QThread::InheritPriority);
    worker_ = new MergeObject(QString::fromLatin1(kWorkerName), nullptr);
    worker_->moveToThread(workerThread_);

    connect(worker_, &MergeObject::ShowDisposingFile, this, &MainWindow::on_ShowDisposingFile);
    connect(worker_, &MergeObject::ShowProgress, this, &MainWindow::on_ShowProgress);
    connect(this, &MainWindow::pBtn_ExcelFilter_HasClicked, worker_, &MergeObject::ExcelFilter);
    connect(worker_, &MergeObject::Signal_SetButtonEnable, this, &MainWindow::on_Signal_SetButtonEnable);

    ui->pBar_Progress->setRange(0, 0);  // busy until the first count arrives
    ui->pBar_Progress->resetFormat();
    ui->pBtn_Stop->setEnabled(true);
    ui->wgt_Progress->show();
    jobRunning_ = true;
    emit pBtn_ExcelFilter_HasClicked();
}

void MainWindow::fillOptionSet() {
    engine::OptionSet &options = engine::optionSet();
    options.findText = ui->pTEdt_FindText->document()->toPlainText().trimmed();
    options.wholeCellMatch = ui->rBtn_xlWhole->isChecked();
    options.oneColumnOnly = ui->cBox_JustFindOneCol->isChecked();
    if (options.oneColumnOnly) options.columnNumber = ui->sBox_JustFindOneCol->text().toInt(nullptr, 10);
    options.useHeaderWorkbook = ui->cBox_HeaderExcelFile->isChecked();
    if (options.useHeaderWorkbook)
        options.headerWorkbookPath = QDir::toNativeSeparators(ui->lEdt_HeaderExcelFile->text());
    options.oneBookPerValue = ui->cBox_OneDateOneBook->isChecked();
    options.noFileWhenNoData = ui->cBox_NoDataNoFile->isChecked();
    options.dataColumnOnly = ui->cBox_JustDataCols->isChecked();
    options.namedSheetOnly = ui->cBox_AppointedSheet->checkState() == Qt::Checked;
    if (options.namedSheetOnly) options.sheetName = ui->lEdt_AppointedSheetName->text();
}

void MainWindow::disposeWorker() {
    // The worker may only go once its thread has stopped running events.
    if (workerThread_) {
        workerThread_->quit();
        workerThread_->wait();
    }
    delete worker_;
    worker_ = nullptr;
    delete workerThread_;
    workerThread_ = nullptr;
}

void MainWindow::on_ShowDisposingFile(QString filePath) { ui->lb_ShowDisposing->setText(filePath); }

void MainWindow::on_Signal_SetButtonEnable() {
    jobRunning_ = false;
    ui->wgt_Progress->hide();
    ui->pBtn_ExcelFilter->setEnabled(true);
    showClosingReport();
}

void MainWindow::on_ShowProgress(int filesDone, int filesTotal, int valueNumber, int valueCount) {
    ui->pBar_Progress->setRange(0, qMax(filesTotal, 1));
    ui->pBar_Progress->setValue(filesTotal > 0 ? filesDone : 1);
    // In one workbook per value, which value the files are being searched for.
    QString format = QStringLiteral("%v/%m");
    if (valueCount > 1) format = QString::fromUtf8("第%1个值(共%2个) %v/%m").arg(valueNumber).arg(valueCount);
    ui->pBar_Progress->setFormat(format);
}

void MainWindow::on_pBtn_Stop_clicked() {
    if (!worker_ || !jobRunning_) return;
    worker_->requestStop();
    ui->pBtn_Stop->setEnabled(false);
}

void MainWindow::showClosingReport() {
    if (!worker_ || !app::closingReportOf(worker_->result()).needed()) return;
    // Not modal to the application: the window stays usable, and a test or a
    // user script is never blocked by it.
    auto *dialog = new JobReportDialog(worker_->result(), engine::optionSet().savePath, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void MainWindow::ShowSoftWindow() {
    showNormal();
    resize(windowWidth_, windowHeight_);
    raise();
    activateWindow();
}

void MainWindow::SystemTrayActivated(QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) ShowSoftWindow();
}
