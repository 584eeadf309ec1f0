// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/html/HtmlTableExtractor.h"

#include "automation/model/Limits.h"
#include "automation/numfmt/NumberFormat.h"

#include <libxml/xmlstring.h>

#include <algorithm>
#include <charconv>
#include <vector>

namespace automation::readers::html {

namespace {

bool isElement(xmlNodePtr n, const char *name) {
    return n && n->type == XML_ELEMENT_NODE && n->name &&
           xmlStrcasecmp(n->name, reinterpret_cast<const xmlChar *>(name)) == 0;
}

// Depth-first successor of `n` within `root`, optionally not entering `n`.
xmlNodePtr nextInTree(xmlNodePtr n, xmlNodePtr root, bool enter) {
    if (enter && n->children) return n->children;
    while (n && n != root) {
        if (n->next) return n->next;
        n = n->parent;
    }
    return nullptr;
}

xmlNodePtr findFirstTable(xmlNodePtr root) {
    for (xmlNodePtr n = root; n; n = nextInTree(n, root, true))
        if (isElement(n, "table")) return n;
    return nullptr;
}

unsigned spanAttribute(xmlNodePtr cell, const char *name, unsigned limit) {
    xmlChar *value = xmlGetProp(cell, reinterpret_cast<const xmlChar *>(name));
    if (!value) return 1;
    const char *s = reinterpret_cast<const char *>(value);
    while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\r') ++s;
    unsigned long n = 0;
    bool digits = false;
    for (; *s >= '0' && *s <= '9'; ++s) {
        digits = true;
        n = std::min<unsigned long>(n * 10 + static_cast<unsigned long>(*s - '0'), limit);
    }
    xmlFree(value);
    return digits && n > 0 ? static_cast<unsigned>(n) : 1;
}

bool isHtmlSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

void appendCollapsed(const char *text, bool *pendingSpace, std::string *out) {
    for (const char *p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (isHtmlSpace(c)) {
            *pendingSpace = true;
            continue;
        }
        if (*pendingSpace && !out->empty() && out->back() != '\n') out->push_back(' ');
        *pendingSpace = false;
        // A no-break space reads as a plain one in a cell.
        if (c == 0xC2 && static_cast<unsigned char>(p[1]) == 0xA0) {
            out->push_back(' ');
            ++p;
            continue;
        }
        out->push_back(static_cast<char>(c));
    }
}

void trimEnds(std::string *s) {
    auto blank = [](char c) { return c == ' ' || c == '\n'; };
    size_t b = 0, e = s->size();
    while (b < e && blank((*s)[b])) ++b;
    while (e > b && blank((*s)[e - 1])) --e;
    *s = s->substr(b, e - b);
}

// The delimited-text rule: only a text that displays back unchanged is a number.
bool asNumber(const std::string &text, double *value) {
    if (text.empty()) return false;
    const char *end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data(), end, *value, std::chars_format::general);
    if (parsed.ec != std::errc() || parsed.ptr != end) return false;
    return numfmt::formatGeneral(*value) == text;
}

class TableGrid {
public:
    TableGrid(model::WorkbookModel *book, model::Sheet *sheet) : book_(book), sheet_(sheet) {}

    bool addRow(xmlNodePtr tr) {
        if (row_ >= model::kMaxRows) return false;
        ++row_;
        uint32_t column = 1;
        for (xmlNodePtr td = tr->children; td; td = td->next) {
            if (!isElement(td, "td") && !isElement(td, "th")) continue;
            while (column <= model::kMaxColumns && occupied(column)) ++column;
            if (column > model::kMaxColumns) break;
            const unsigned colSpan = spanAttribute(td, "colspan", kMaxColumnSpan);
            const unsigned rowSpan = spanAttribute(td, "rowspan", kMaxRowSpan);
            const uint32_t lastColumn = std::min<uint32_t>(column + colSpan - 1, model::kMaxColumns);
            const uint32_t lastRow = std::min<uint32_t>(row_ + rowSpan - 1, model::kMaxRows);
            place(td, column);
            if (lastRow > row_) reserve(column, lastColumn, lastRow);
            if (lastRow > row_ || lastColumn > column)
                sheet_->merges.push_back(model::CellArea{row_, column, lastRow, lastColumn});
            column = lastColumn + 1;
        }
        return true;
    }

private:
    bool occupied(uint32_t column) const { return column < busyUntil_.size() && busyUntil_[column] >= row_; }

    void reserve(uint32_t first, uint32_t last, uint32_t untilRow) {
        if (busyUntil_.size() <= last) busyUntil_.resize(last + 1, 0);
        for (uint32_t c = first; c <= last; ++c) busyUntil_[c] = std::max(busyUntil_[c], untilRow);
    }

    void place(xmlNodePtr td, uint32_t column) {
        const std::string text = cellText(td);
        if (text.empty()) return;
        double number;
        if (asNumber(text, &number)) {
            sheet_->setCell(row_, model::Cell::makeNumber(column, number));
        } else {
            sheet_->setCell(row_, model::Cell::makeString(column, book_->mutableStrings().intern(text)));
        }
    }

    model::WorkbookModel *book_;
    model::Sheet *sheet_;
    uint32_t row_ = 0;
    std::vector<uint32_t> busyUntil_;  // by column: last row a row span covers
};

}  // namespace

std::string cellText(xmlNodePtr cell) {
    std::string out;
    bool pendingSpace = false;
    for (xmlNodePtr n = cell->children; n;) {
        bool enter = true;
        if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
            if (n->content) appendCollapsed(reinterpret_cast<const char *>(n->content), &pendingSpace, &out);
        } else if (isElement(n, "br")) {
            while (!out.empty() && out.back() == ' ') out.pop_back();
            out.push_back('\n');
            pendingSpace = false;
        } else if (isElement(n, "script") || isElement(n, "style") || n->type != XML_ELEMENT_NODE) {
            enter = false;
        }
        n = nextInTree(n, cell, enter);
    }
    trimEnds(&out);
    return out;
}

void extractFirstTable(xmlNodePtr root, model::WorkbookModel *book, model::Sheet *sheet) {
    xmlNodePtr table = findFirstTable(root);
    if (!table) return;
    TableGrid grid(book, sheet);
    for (xmlNodePtr n = table->children; n; n = n->next) {
        if (isElement(n, "tr")) {
            if (!grid.addRow(n)) return;
        } else if (isElement(n, "thead") || isElement(n, "tbody") || isElement(n, "tfoot")) {
            for (xmlNodePtr tr = n->children; tr; tr = tr->next)
                if (isElement(tr, "tr") && !grid.addRow(tr)) return;
        }
    }
}

}  // namespace automation::readers::html
