// SPDX-License-Identifier: Apache-2.0
// The spreadsheet automation interface: the operations of a spreadsheet
// application's object model that the extraction engine relies on, and
// nothing more. The engine talks to spreadsheets only through these classes.
//
// Sub-objects are handed out as owning handles (std::unique_ptr). A handle
// stays safe to use after the object behind it is gone (a closed workbook, a
// deleted sheet): its calls then fail softly (null results, false, 0).
// No call throws.
#pragma once

#include "automation/ReadStatus.h"
#include "automation/SaveFailure.h"
#include "automation/WriteResult.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace automation {

class Range;
class Worksheet;
class Sheets;
class Workbook;
class Workbooks;
class Application;

// Constants of the spreadsheet object model that the engine passes on.
constexpr int kLookInValues = -4163;          // Find: look in values (as displayed)
constexpr int kLookAtWhole = 1;               // Find: the whole cell must match
constexpr int kLookAtPart = 2;                // Find: any part of the cell may match
constexpr int kFileFormatCsv = 6;             // SaveAs: comma-separated text
constexpr long long kMaxSheetRows = 1048576;  // rows of a workbook-format sheet; CSV has no such limit

// What a job is about to open, announced to Workbooks::expectOpens.
struct OpenPlan {
    QStringList paths;         // in the order they will be opened
    int passes = 1;            // how often the whole list will be opened from now on
    QStringList searches;      // every text Find will be asked for in those workbooks
    int lookAt = kLookAtPart;  // the look-at code of those searches
    int wholeColumn = 0;       // a column that will be copied whole (Columns(n)); 0 for none
};

// A rectangular block of cells on one worksheet: a cell, a whole row, a whole
// column or a used range.
class Range {
public:
    virtual ~Range() = default;

    virtual int row() const = 0;                // "Row": first row, 1-based
    virtual int column() const = 0;             // "Column": first column, 1-based
    virtual long long count() const = 0;        // "Count": number of cells
    virtual long long rowCount() const = 0;     // "Rows"."Count"
    virtual long long columnCount() const = 0;  // "Columns"."Count"

    // "Find": the first cell of this range after `after` whose displayed text
    // matches `what`; null when none matches. lookIn is kLookInValues,
    // lookAt kLookAtWhole or kLookAtPart.
    virtual std::unique_ptr<Range> find(const QString &what, const Range *after, int lookIn, int lookAt) = 0;

    // "Copy": contents and formats of this range to `destination` (its top-left cell).
    virtual bool copy(const Range &destination) = 0;

    // "Value()": the value of the range's first cell, as text.
    virtual QString value() const = 0;

    // "Clear": removes contents and formats of the range.
    virtual bool clear() = 0;
};

class Worksheet {
public:
    virtual ~Worksheet() = default;

    virtual QString name() const = 0;                               // "Name"
    virtual std::unique_ptr<Range> usedRange() = 0;                 // "UsedRange"; null when the sheet has none
    virtual std::unique_ptr<Range> cells(int row, int column) = 0;  // "Cells(int,int)"
    virtual std::unique_ptr<Range> rows(int row) = 0;               // "Rows(int)": a whole row
    virtual std::unique_ptr<Range> columns(int column) = 0;         // "Columns(int)": a whole column
    virtual bool remove() = 0;                                      // "delete"
};

class Sheets {
public:
    virtual ~Sheets() = default;

    virtual int count() const = 0;                           // "Count"
    virtual std::unique_ptr<Worksheet> item(int index) = 0;  // "Item(int)", 1-based; null when out of range
    // "Add(before)": a new worksheet placed before `before`, made active.
    virtual std::unique_ptr<Worksheet> add(const Worksheet &before) = 0;
};

class Workbook {
public:
    virtual ~Workbook() = default;

    virtual std::unique_ptr<Sheets> sheets() = 0;  // "Sheets"
    // "SaveAs(path)": workbook format; "SaveAs(path, 6)": CSV. A failure
    // carries the writer's own words (UTF-8) and its kind.
    virtual WriteResult saveAs(const QString &path) = 0;
    virtual WriteResult saveAs(const QString &path, int fileFormat) = 0;
    virtual void close(bool saveChanges) = 0;  // "Close(false)"
    // Formula cells whose result the file did not hold (or held as a
    // placeholder) and that could not be calculated on opening: they show
    // what the file stored. 0 for every workbook that needed no calculation.
    virtual int formulasNotEvaluated() const { return 0; }
};

struct OpenResult {
    std::unique_ptr<Workbook> workbook;          // null when the file could not be opened
    ReadStatus status = ReadStatus::Unreadable;  // Ok with a workbook; otherwise why not
};

class Workbooks {
public:
    virtual ~Workbooks() = default;

    virtual bool add() = 0;  // "Add": a blank workbook, made active
    // "Open": the workbook, or why there is none.
    virtual OpenResult openWorkbook(const QString &path) = 0;
    // "Open" where the reason does not matter; null when it cannot be opened.
    std::unique_ptr<Workbook> open(const QString &path) { return openWorkbook(path).workbook; }

    // A hint about the workbooks about to be opened. A backend may read them
    // ahead of time, or keep between openings what the announced searches
    // need; what every call returns does not change.
    virtual void expectOpens(const OpenPlan &plan) { (void)plan; }
};

class Application {
public:
    virtual ~Application() = default;

    virtual void setVisible(const QString &visible) = 0;     // "SetVisible": the text "false"
    virtual void setDisplayAlerts(bool on) = 0;              // "DisplayAlerts"
    virtual Workbooks *workbooks() = 0;                      // "WorkBooks"; null: no usable application
    virtual std::unique_ptr<Workbook> activeWorkbook() = 0;  // "ActiveWorkBook"
    virtual void quit() = 0;                                 // "Quit"
};

// Creates an application by its class name. "Excel.Application" gives the
// in-process native backend; any other name gives an application whose
// workbooks collection is null.
using ApplicationFactory = std::function<std::unique_ptr<Application>(const QString &className)>;

std::unique_ptr<Application> createApplication(const QString &className);

// The factory the engine uses; tests replace it with a double. Passing an
// empty function restores the default.
ApplicationFactory applicationFactory();
void setApplicationFactory(ApplicationFactory factory);

}  // namespace automation
