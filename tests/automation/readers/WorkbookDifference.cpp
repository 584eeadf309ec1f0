// SPDX-License-Identifier: Apache-2.0
#include "WorkbookDifference.h"

#include <cmath>
#include <cstring>
#include <sstream>

using namespace automation::model;

namespace readertest {

namespace {

// Numbers are equal when their bits are: both paths parse the same text.
bool sameNumber(double a, double b) {
    if (std::isnan(a) && std::isnan(b)) return true;
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string cellText(const WorkbookModel &wb, const Cell &c) {
    std::ostringstream out;
    out << "col " << c.column << " style " << c.style << ' ';
    switch (c.type) {
        case CellType::Empty:
            out << "empty";
            break;
        case CellType::Number:
            out << "number " << c.number;
            break;
        case CellType::String:
            out << "string \"" << wb.text(c) << '"';
            break;
        case CellType::Boolean:
            out << "boolean " << c.boolean;
            break;
        case CellType::Error:
            out << "error " << static_cast<int>(c.error);
            break;
    }
    return out.str();
}

bool sameCell(const WorkbookModel &wa, const Cell &a, const WorkbookModel &wb, const Cell &b) {
    if (a.column != b.column || a.style != b.style || a.type != b.type) return false;
    switch (a.type) {
        case CellType::Empty:
            return true;
        case CellType::Number:
            return sameNumber(a.number, b.number);
        case CellType::String:
            return wa.text(a) == wb.text(b);
        case CellType::Boolean:
            return a.boolean == b.boolean;
        case CellType::Error:
            return a.error == b.error;
    }
    return false;
}

std::string sheetDifference(const WorkbookModel &wa, const Sheet &a, const WorkbookModel &wb, const Sheet &b) {
    std::ostringstream out;
    if (a.name != b.name) return "name \"" + a.name + "\" vs \"" + b.name + "\"";
    if (a.hidden != b.hidden) return "hidden flag";
    if (!sameNumber(a.defaultRowHeight, b.defaultRowHeight)) return "default row height";
    if (!sameNumber(a.defaultColumnWidth, b.defaultColumnWidth)) return "default column width";
    if (a.columns.size() != b.columns.size()) return "column count";
    for (size_t i = 0; i < a.columns.size(); ++i) {
        const ColumnInfo &x = a.columns[i], &y = b.columns[i];
        if (x.first != y.first || x.last != y.last || !sameNumber(x.width, y.width) || x.style != y.style ||
            x.hidden != y.hidden) {
            out << "column entry " << i;
            return out.str();
        }
    }
    if (a.merges.size() != b.merges.size()) return "merge count";
    for (size_t i = 0; i < a.merges.size(); ++i)
        if (!(a.merges[i] == b.merges[i])) return "merge " + std::to_string(i);
    if (a.rows().size() != b.rows().size()) {
        out << "row count " << a.rows().size() << " vs " << b.rows().size();
        return out.str();
    }
    for (size_t i = 0; i < a.rows().size(); ++i) {
        const Row &x = a.rows()[i], &y = b.rows()[i];
        out.str("");
        out << "row " << x.index << ": ";
        if (x.index != y.index) return out.str() + "index vs " + std::to_string(y.index);
        if (!sameNumber(x.height, y.height) || x.style != y.style || x.hidden != y.hidden)
            return out.str() + "height, format or hidden flag";
        if (x.cells.size() != y.cells.size()) return out.str() + "cell count";
        for (size_t j = 0; j < x.cells.size(); ++j)
            if (!sameCell(wa, x.cells[j], wb, y.cells[j]))
                return out.str() + cellText(wa, x.cells[j]) + " vs " + cellText(wb, y.cells[j]);
    }
    CellArea ua{}, ub{};
    const bool ha = a.usedArea(&ua), hb = b.usedArea(&ub);
    if (ha != hb || (ha && !(ua == ub))) return "used area";
    return {};
}

}  // namespace

std::string firstDifference(const WorkbookModel &a, const WorkbookModel &b) {
    if (a.date1904 != b.date1904) return "date system";
    if (a.sheetCount() != b.sheetCount())
        return "sheet count " + std::to_string(a.sheetCount()) + " vs " + std::to_string(b.sheetCount());
    if (a.styles().size() != b.styles().size())
        return "style count " + std::to_string(a.styles().size()) + " vs " + std::to_string(b.styles().size());
    for (uint32_t i = 0; i < a.styles().size(); ++i)
        if (a.styles().at(i) != b.styles().at(i)) return "style " + std::to_string(i);
    for (size_t i = 0; i < a.sheetCount(); ++i) {
        const std::string d = sheetDifference(a, a.sheet(i), b, b.sheet(i));
        if (!d.empty()) return "sheet " + std::to_string(i) + ": " + d;
    }
    return {};
}

}  // namespace readertest
