// SPDX-License-Identifier: Apache-2.0
#include "engine/WorkbookFiles.h"

#include "automation/readers/Readers.h"

#include <xlsxwriter.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace files {

namespace {

bool asNumber(const QString &text, double *value) {
    if (text.isEmpty() || text.trimmed() != text) return false;
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

QString cellText(const automation::model::WorkbookModel &book, const automation::model::Cell &cell) {
    using automation::model::CellType;
    switch (cell.type) {
        case CellType::String:
            return QString::fromStdString(std::string(book.text(cell)));
        case CellType::Number:
            return QString::number(cell.number, 'g', 15);
        case CellType::Boolean:
            return cell.boolean ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        case CellType::Error:
            return QString::fromLatin1(automation::model::errorText(cell.error));
        case CellType::Empty:
            break;
    }
    return QString();
}

ReadBack fromModel(const automation::model::WorkbookModel *book) {
    ReadBack back;
    if (!book || book->sheetCount() == 0) return back;
    back.ok = true;
    for (size_t i = 0; i < book->sheetCount(); ++i) back.sheetNames << QString::fromStdString(book->sheet(i).name);
    const auto &sheet = book->sheet(0);
    uint32_t lastRow = 0, lastColumn = 0;
    for (const auto &row : sheet.rows()) {
        for (const auto &cell : row.cells) {
            if (cell.hasValue()) {
                lastRow = std::max(lastRow, row.index);
                lastColumn = std::max(lastColumn, cell.column);
            }
        }
    }
    back.rows.assign(lastRow, QStringList());
    back.bold.assign(lastRow, std::vector<bool>(lastColumn, false));
    for (auto &r : back.rows) {
        for (uint32_t c = 0; c < lastColumn; ++c) r << QString();
    }
    for (const auto &row : sheet.rows()) {
        for (const auto &cell : row.cells) {
            if (row.index > lastRow || cell.column > lastColumn) continue;
            back.rows[row.index - 1][cell.column - 1] = cellText(*book, cell);
            back.bold[row.index - 1][cell.column - 1] = book->styles().at(cell.style).font.bold;
        }
    }
    return back;
}

}  // namespace

bool writeXlsx(const QString &path, const std::vector<SheetContent> &sheets) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    lxw_workbook *book = workbook_new(QFile::encodeName(path).constData());
    if (!book) return false;
    lxw_format *bold = workbook_add_format(book);
    format_set_bold(bold);
    for (const SheetContent &content : sheets) {
        lxw_worksheet *sheet = workbook_add_worksheet(book, content.name.toUtf8().constData());
        if (!sheet) {
            workbook_close(book);
            return false;
        }
        for (size_t r = 0; r < content.rows.size(); ++r) {
            lxw_format *format = static_cast<int>(r) + 1 == content.boldRow ? bold : nullptr;
            for (int c = 0; c < content.rows[r].size(); ++c) {
                const QString &text = content.rows[r][c];
                double number = 0;
                if (text.isEmpty()) continue;
                if (text.startsWith('='))
                    worksheet_write_formula(sheet, r, c, text.toUtf8().constData(), format);
                else if (asNumber(text, &number))
                    worksheet_write_number(sheet, r, c, number, format);
                else
                    worksheet_write_string(sheet, r, c, text.toUtf8().constData(), format);
            }
        }
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

bool writeCsv(const QString &path, const std::vector<QStringList> &rows) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    for (const QStringList &row : rows) file.write(row.join(',').toUtf8() + "\r\n");
    return true;
}

ReadBack readXlsxResult(const QString &path) {
    const auto result = automation::readers::readXlsx(QFile::encodeName(path).toStdString());
    return fromModel(result.workbook.get());
}

ReadBack readCsvResult(const QString &path) {
    const auto result = automation::readers::readDelimitedText(QFile::encodeName(path).toStdString(), ',', "Sheet1");
    return fromModel(result.workbook.get());
}

}  // namespace files
