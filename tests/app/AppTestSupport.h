// SPDX-License-Identifier: Apache-2.0
// Shared helpers of the window tests: one QApplication for the whole run, a
// settings file in a temporary folder, and a way to answer modal boxes.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <vector>

namespace apptest {

// Makes sure the process-wide QApplication exists (offscreen in ctest).
QApplication *application();

// Points the program's settings file path at `path` and its first argument at `firstArg`.
void setStartupState(const QString &settingsPath, const char *firstArg = "");

// A temporary folder holding a settings file (or none) that the window will read.
class SettingsFixture {
public:
    // content == nullptr: no settings file at all.
    explicit SettingsFixture(const char *content);
    QString path() const;
    QByteArray bytes() const;
    // key -> value of every "key=value\r\n" line, in the file as it is now.
    QMap<QString, QString> keys() const;
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// Runs `action`, answering the first modal widget that appears with `answer`
// (called with the widget; it must close it). True when a modal widget appeared.
bool whileAnsweringModal(const std::function<void()> &action, const std::function<void(QWidget *)> &answer);

// Writes a one-sheet source workbook of text cells with libxlsxwriter; false when it cannot.
bool writeWorkbook(const QString &path, const std::vector<std::vector<const char *>> &rows);

// Spins the event loop until `done` holds or `timeoutMs` passes.
bool waitFor(const std::function<bool()> &done, int timeoutMs);

}  // namespace apptest
