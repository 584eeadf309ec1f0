// SPDX-License-Identifier: Apache-2.0
// A test double of the spreadsheet automation interface: workbooks are small
// grids of texts, and every call that matters to the job's order is recorded.
#pragma once

#include "automation/Automation.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace fake {

using CellKey = std::pair<int, int>;  // row, column

struct Sheet {
    QString name;
    std::map<CellKey, QString> cells;  // row-major order
    bool chart = false;                // has no used range
};

struct Book {
    std::vector<std::shared_ptr<Sheet>> sheets;
    Book deepCopy() const;
};

// Builds a sheet from rows of texts (row 1 first, column A first; "" is empty).
std::shared_ptr<Sheet> makeSheet(const QString &name, const std::vector<QStringList> &rows);

struct SavedFile {
    Book book;
    bool csv = false;
};

// Everything the double knows and remembers; shared by all its objects.
struct World {
    QMap<QString, Book> files;                           // what Open(path) finds
    QMap<QString, automation::ReadStatus> openFailures;  // why Open(path) of a file not in `files` fails
    QSet<QString> throwingOpens;                         // Open(path) throws, as no backend should
    QSet<QString> failingSaves;
    bool noWorkbooks = false;
    QStringList calls;
    QMap<QString, SavedFile> saved;
    std::shared_ptr<Book> active;

    int countCalls(const QString &call) const { return calls.count(call); }
    int countCallsStartingWith(const QString &prefix) const;
};

// Installs a factory that hands out applications over `world`; undone by restoreFactory().
void installFactory(const std::shared_ptr<World> &world);
void restoreFactory();

// The texts of a saved sheet as rows (row 1 first), up to its last used row and column.
std::vector<QStringList> rowsOf(const Sheet &sheet);

}  // namespace fake
