// SPDX-License-Identifier: Apache-2.0
#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "rowsifter/Version.h"

namespace cli {

namespace {

constexpr int kFirstColumn = 1;
constexpr int kLastColumn = 16384;  // column XFD, the widest sheet

const QString kHelpText = QStringLiteral(
    "Usage: rowsifter-cli --source DIR --dest DIR (--find TEXT | --find-file FILE)... [options]\n"
    "\n"
    "Copies every row that holds one of the search values, from the workbooks\n"
    "(.xls, .xlsx, .xlsm, .csv) under the source folder, into result workbooks in\n"
    "the destination folder. Status texts go to standard error, one per line.\n"
    "\n"
    "  --source DIR       folder searched, with its subfolders\n"
    "  --dest DIR         folder that receives the result files\n"
    "  --find TEXT        value to look for; repeatable, each adds lines\n"
    "  --find-file FILE   UTF-8 file with one value to look for per line\n"
    "  --whole            a cell matches only when its whole value equals the value\n"
    "                     (default: the value may be any part of the cell)\n"
    "  --column N         search only column N of each sheet (1 is column A)\n"
    "  --sheet NAME       search only sheets named NAME (case-sensitive)\n"
    "  --cell-only        copy only the found cell, not its row; left aside with\n"
    "                     --per-value, which always copies whole rows\n"
    "  --per-value        one result workbook per value, named after it, holding\n"
    "                     whole rows (--cell-only is left aside)\n"
    "                     (default: one workbook, RowBasket.xlsx, or the value's\n"
    "                     name when there is only one value)\n"
    "  --no-empty-files   with --per-value: no file for a value that found nothing\n"
    "  --template FILE    start every result workbook from this header workbook\n"
    "  --report FILE      write a CSV line per source workbook: path, outcome\n"
    "                     (searched, encrypted, damaged, not a workbook,\n"
    "                     unsupported, unreadable), sheets searched, rows extracted,\n"
    "                     formula cells that could not be calculated\n"
    "  --strict           exit with 3 when any workbook could not be searched\n"
    "  --help             show this help\n"
    "  --version          show the program's version\n"
    "\n"
    "Exit status: 0 the job ran to its end, 1 it ended on an error (no application,\n"
    "a header template error, a failed save, an interrupted job, a report that\n"
    "cannot be written), 2 bad arguments or folders, 3 with --strict: the job ran\n"
    "to its end but some workbooks could not be read (standard error names them).\n");

// Values from a UTF-8 file, one per line; line ends of any platform.
bool readValuesFile(const QString &path, QString *values, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the values file: ") + path;
        return false;
    }
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    *values = text;
    return true;
}

ParsedCommandLine invalid(const QString &message) {
    ParsedCommandLine parsed;
    parsed.outcome = ParsedCommandLine::Outcome::Invalid;
    parsed.message = message;
    return parsed;
}

}  // namespace

ParsedCommandLine parseCommandLine(const QStringList &arguments) {
    QCommandLineParser parser;
    const QCommandLineOption source(QStringLiteral("source"), QStringLiteral("Folder searched with its subfolders."),
                                    QStringLiteral("DIR"));
    const QCommandLineOption dest(QStringLiteral("dest"), QStringLiteral("Folder that receives the result files."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption find(QStringLiteral("find"),
                                  QStringLiteral("Value to look for; repeatable, each adds lines."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption findFile(QStringLiteral("find-file"),
                                      QStringLiteral("UTF-8 file with one value to look for per line."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption whole(QStringLiteral("whole"),
                                   QStringLiteral("A cell matches only when its whole value equals the value."));
    const QCommandLineOption column(QStringLiteral("column"),
                                    QStringLiteral("Search only column N of each sheet (1 is column A)."),
                                    QStringLiteral("N"));
    const QCommandLineOption sheet(QStringLiteral("sheet"),
                                   QStringLiteral("Search only sheets named NAME (case-sensitive)."),
                                   QStringLiteral("NAME"));
    const QCommandLineOption cellOnly(
        QStringLiteral("cell-only"),
        QStringLiteral("Copy only the found cell, not its row; left aside with --per-value."));
    const QCommandLineOption perValue(
        QStringLiteral("per-value"),
        QStringLiteral("One result workbook per value, named after it; --cell-only is left aside."));
    const QCommandLineOption noEmpty(QStringLiteral("no-empty-files"),
                                     QStringLiteral("With --per-value: no file for a value that found nothing."));
    const QCommandLineOption templ(QStringLiteral("template"),
                                   QStringLiteral("Start every result workbook from this header workbook."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption report(QStringLiteral("report"),
                                    QStringLiteral("Write a CSV line per source workbook to FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption strict(QStringLiteral("strict"),
                                    QStringLiteral("Exit with 3 when any workbook could not be searched."));
    const QCommandLineOption help(QStringLiteral("help"), QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"), QStringLiteral("Show the program's version."));
    parser.addOptions({source, dest, find, findFile, whole, column, sheet, cellOnly, perValue, noEmpty, templ, report,
                       strict, help, version});

    if (!parser.parse(arguments)) return invalid(parser.errorText());
    if (parser.isSet(help)) {
        ParsedCommandLine parsed;
        parsed.outcome = ParsedCommandLine::Outcome::Help;
        parsed.message = kHelpText;
        return parsed;
    }
    // Printed and left like the help; the first line is what help2man reads.
    if (parser.isSet(version)) {
        ParsedCommandLine parsed;
        parsed.outcome = ParsedCommandLine::Outcome::Help;
        parsed.message = QStringLiteral("rowsifter-cli " ROWSIFTER_VERSION "\n");
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty())
        return invalid(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());
    for (const QCommandLineOption *single : {&source, &dest, &findFile, &column, &sheet, &templ, &report}) {
        if (parser.values(*single).size() > 1)
            return invalid(QStringLiteral("--") + single->names().first() + QStringLiteral(" given twice"));
    }
    if (!parser.isSet(source) || !parser.isSet(dest))
        return invalid(QStringLiteral("both --source and --dest are needed"));

    engine::OptionSet options;
    options.sourcePath = QDir::toNativeSeparators(parser.value(source));
    options.savePath = QDir::toNativeSeparators(parser.value(dest));
    if (!QFileInfo(options.sourcePath).isDir())
        return invalid(QStringLiteral("the source folder does not exist: ") + options.sourcePath);
    if (!QFileInfo(options.savePath).isDir())
        return invalid(QStringLiteral("the destination folder does not exist: ") + options.savePath);
    if (!options.savePath.endsWith(QDir::separator())) options.savePath += QDir::separator();

    QStringList lines = parser.values(find);
    if (parser.isSet(findFile)) {
        QString fileValues, error;
        if (!readValuesFile(parser.value(findFile), &fileValues, &error)) return invalid(error);
        lines << fileValues;
    }
    options.findText = lines.join(QLatin1Char('\n')).trimmed();
    if (options.findText.isEmpty()) return invalid(QStringLiteral("no value to look for: give --find or --find-file"));

    options.wholeCellMatch = parser.isSet(whole);
    if (parser.isSet(column)) {
        bool ok = false;
        const int n = parser.value(column).toInt(&ok, 10);
        if (!ok || n < kFirstColumn || n > kLastColumn)
            return invalid(QStringLiteral("--column needs a number from 1 to 16384"));
        options.oneColumnOnly = true;
        options.columnNumber = n;
    }
    options.dataColumnOnly = parser.isSet(cellOnly);
    if (options.oneColumnOnly && options.dataColumnOnly)
        return invalid(QStringLiteral("--column and --cell-only cannot be used together"));
    if (parser.isSet(sheet)) {
        options.namedSheetOnly = true;
        options.sheetName = parser.value(sheet);
    }
    options.oneBookPerValue = parser.isSet(perValue);
    options.noFileWhenNoData = parser.isSet(noEmpty);
    if (parser.isSet(templ)) {
        options.useHeaderWorkbook = true;
        options.headerWorkbookPath = QDir::toNativeSeparators(parser.value(templ));
    }

    ParsedCommandLine parsed;
    parsed.outcome = ParsedCommandLine::Outcome::Run;
    parsed.options = options;
    parsed.reportPath = parser.value(report);
    parsed.strict = parser.isSet(strict);
    return parsed;
}

}  // namespace cli
