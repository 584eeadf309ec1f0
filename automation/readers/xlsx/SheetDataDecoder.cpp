// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/SheetDataDecoder.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/FastXmlScanner.h"
#include "automation/readers/xlsx/RawMarkup.h"

#include <cstring>

namespace automation::readers::xlsx {

using namespace rawmarkup;

namespace {

// The attribute's value as the events give it, or null when absent.
const char *valueOf(const Tag &tag, const char *name, AttributeText *out) {
    const Attribute *a = tag.find(name, std::strlen(name));
    return a ? out->set(a->value, a->valueLength, a->plain) : nullptr;
}

}  // namespace

namespace {

// Bytes a plain cell may hold as they are: in a double-quoted value, all but
// the quote, markup, references and white space to normalise; in a value's
// text, all but markup, references, CR and '>' (which may close "]]>").
struct PlainBytes {
    bool inValue[256] = {}, inText[256] = {};
    constexpr PlainBytes() {
        for (int c = 0; c < 256; ++c) {
            inValue[c] = c != '"' && c != '<' && c != '&' && c != '\n' && c != '\r' && c != '\t';
            inText[c] = c != '<' && c != '&' && c != '\r' && c != '>';
        }
    }
};
constexpr PlainBytes kPlain;

// "B7": upper-case letters, then a row number without leading zeros, within
// the sheet. Anything else is left to the careful reading of the text.
bool readReference(const char *p, size_t length, uint32_t *row, uint32_t *column) {
    const char *end = p + length;
    uint32_t col = 0, r = 0;
    int letters = 0;
    for (; p < end && *p >= 'A' && *p <= 'Z'; ++p, ++letters) col = col * 26 + static_cast<uint32_t>(*p - 'A' + 1);
    if (letters == 0 || letters > 3 || p == end || *p == '0' || end - p > 7) return false;
    for (; p < end; ++p) {
        if (*p < '0' || *p > '9') return false;
        r = r * 10 + static_cast<uint32_t>(*p - '0');
    }
    if (col > model::kMaxColumns || r > model::kMaxRows) return false;
    *row = r;
    *column = col;
    return true;
}

// "12": digits only, few enough not to overflow.
bool readIndex(const char *p, size_t length, uint32_t *out) {
    constexpr size_t kMaxDigits = 9;
    if (length == 0 || length > kMaxDigits) return false;
    uint32_t v = 0;
    for (const char *end = p + length; p < end; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<uint32_t>(*p - '0');
    }
    *out = v;
    return true;
}

}  // namespace

const char *AttributeText::set(const char *value, size_t length, bool plain) {
    if (plain && length < kShort) {
        std::memcpy(short_, value, length);
        short_[length] = '\0';
        return short_;
    }
    decodeXmlText(value, value + length, true, &long_);  // checked by startTag
    return long_.c_str();
}

// `<row r="7" spans="1:12">`: unprefixed, each attribute in ASCII once,
// separated by one space, its value plain in double quotes; the five the
// events read are picked out, others passed over. Anything else is left to
// the careful reading, which refuses what the events would refuse.
bool SheetDataDecoder::plainRow(const char *&p, const char *end, RowMarkup *row, bool *selfClosing) {
    constexpr size_t kMaxSeen = 8;
    std::string_view seen[kMaxSeen];
    size_t count = 0;
    const char *q = p;
    for (;;) {
        if (q >= end) return false;
        if (*q == '>') {
            *selfClosing = false;
            p = q + 1;
            return true;
        }
        if (*q == '/') {
            if (end - q < 2 || q[1] != '>') return false;
            *selfClosing = true;
            p = q + 2;
            return true;
        }
        if (*q != ' ' || end - q < 2 || !nameStart(q[1])) return false;
        const char *name = ++q;
        while (q < end && nameInner(*q)) ++q;
        const std::string_view n(name, static_cast<size_t>(q - name));
        if (end - q < 2 || q[0] != '=' || q[1] != '"') return false;
        const char *value = q + 2;
        const char *close = value;
        while (close < end && kPlain.inValue[static_cast<unsigned char>(*close)]) ++close;
        if (close >= end || *close != '"') return false;
        if (count == kMaxSeen) return false;
        for (size_t i = 0; i < count; ++i)
            if (seen[i] == n) return false;
        seen[count++] = n;
        const size_t length = static_cast<size_t>(close - value);
        if (n == "r")
            row->r = r_.set(value, length, true);
        else if (n == "ht")
            row->ht = ht_.set(value, length, true);
        else if (n == "s")
            row->s = s_.set(value, length, true);
        else if (n == "customFormat")
            row->customFormat = customFormat_.set(value, length, true);
        else if (n == "hidden")
            row->hidden = hidden_.set(value, length, true);
        q = close + 1;
    }
}

RawContentReader::Result SheetDataDecoder::refused() {
    sink_.refuse();
    return Result::Refused;
}

rawmarkup::Scan SheetDataDecoder::textThenEnd(const char *&p, const char *end, std::string_view name,
                                              std::string *scratch, std::string_view *out) {
    const char *q = p;
    Scan s = text(q, end, scratch, out);
    if (s == Scan::Ok) s = endTag(q, end, name);
    if (s != Scan::Ok) return s;
    p = q;
    return Scan::Ok;
}

// <is> holding one plain <t>: rich runs and phonetic text go to the events.
rawmarkup::Scan SheetDataDecoder::inlineText(const char *&p, const char *end, std::string_view name) {
    const char *q = p;
    cell_.value = std::string_view();
    bool seenText = false;
    Tag tag;
    for (;;) {
        skipSpace(q, end);
        if (end - q < 2) return Scan::More;
        if (*q != '<') return Scan::Refused;
        if (q[1] == '/') {
            const Scan s = endTag(q, end, name);
            if (s != Scan::Ok) return s;
            p = q;
            return Scan::Ok;
        }
        ++q;
        const Scan s = startTag(q, end, &tag, &ignored_);
        if (s != Scan::Ok) return s;
        if (tag.local != "t" || seenText) return Scan::Refused;
        seenText = true;
        if (!tag.selfClosing) {
            const Scan t = textThenEnd(q, end, tag.name, &value_, &cell_.value);
            if (t != Scan::Ok) return t;
        }
    }
}

// The cell as nearly every producer writes it, from just behind "<c": no
// prefix, attributes among r, s and t with plain values in double quotes,
// single spaces, then nothing, or "<v>" with plain text and "</v></c>".
// False, with nothing passed on, for anything else: cell() reads that.
bool SheetDataDecoder::plainCell(const char *&p, const char *end) {
    const char *q = p;
    cell_.clear();
    for (;;) {
        if (q >= end) return false;
        if (*q == '>') {
            ++q;
            break;
        }
        if (*q == '/') {
            if (end - q < 2 || q[1] != '>') return false;
            p = q + 2;
            return true;
        }
        if (end - q < 4 || q[0] != ' ' || q[2] != '=' || q[3] != '"') return false;
        const char *value = q + 4;
        const char *close = value;
        while (close < end && kPlain.inValue[static_cast<unsigned char>(*close)]) ++close;
        if (close >= end || *close != '"') return false;
        const size_t length = static_cast<size_t>(close - value);
        switch (q[1]) {
            case 'r':
                if (cell_.r || cell_.addressed) return false;
                if (!readReference(value, length, &cell_.row, &cell_.column))
                    cell_.r = r_.set(value, length, true);
                else
                    cell_.addressed = true;
                break;
            case 's':
                if (cell_.s || cell_.styled) return false;
                if (!readIndex(value, length, &cell_.styleValue))
                    cell_.s = s_.set(value, length, true);
                else
                    cell_.styled = true;
                break;
            case 't':
                if (cell_.t) return false;
                cell_.t = length == 1 && *value == 's' ? "s" : t_.set(value, length, true);  // most texts are shared
                break;
            default:
                return false;
        }
        q = close + 1;
    }
    static constexpr char kCellEnd[] = "</c>";
    static constexpr char kValueStart[] = "<v>";
    static constexpr char kValueEnd[] = "</v></c>";
    if (end - q >= 4 && std::memcmp(q, kCellEnd, 4) == 0) {
        p = q + 4;
        return true;
    }
    if (end - q < 3 || std::memcmp(q, kValueStart, 3) != 0) return false;
    q += 3;
    const char *text = q;
    while (q < end && kPlain.inText[static_cast<unsigned char>(*q)]) ++q;
    if (q >= end || *q != '<') return false;
    if (end - q < 8 || std::memcmp(q, kValueEnd, 8) != 0) return false;
    cell_.hasValue = true;
    cell_.value = std::string_view(text, static_cast<size_t>(q - text));
    p = q + 8;
    return true;
}

// A cell from just behind its start tag's '<'.
rawmarkup::Scan SheetDataDecoder::cell(const char *&p, const char *end) {
    const char *q = p;
    Tag tag;
    Scan s = startTag(q, end, &tag, &ignored_);
    if (s != Scan::Ok) return s;
    cell_.clear();
    for (size_t i = 0; i < tag.count; ++i) {
        const Attribute &a = tag.attributes[i];
        if (a.nameLength != 1) continue;
        switch (a.name[0]) {
            case 'r':
                cell_.r = r_.set(a.value, a.valueLength, a.plain);
                break;
            case 's':
                cell_.s = s_.set(a.value, a.valueLength, a.plain);
                break;
            case 't':
                cell_.t = t_.set(a.value, a.valueLength, a.plain);
                break;
            default:
                break;
        }
    }
    const std::string_view cellName = tag.name;
    if (!tag.selfClosing) {
        Tag child;
        for (;;) {
            skipSpace(q, end);
            if (end - q < 2) return Scan::More;
            if (*q != '<') return Scan::Refused;
            if (q[1] == '/') {
                s = endTag(q, end, cellName);
                if (s != Scan::Ok) return s;
                break;
            }
            ++q;
            s = startTag(q, end, &child, &ignored_);
            if (s != Scan::Ok) return s;
            Scan t = Scan::Ok;
            if (child.local == "v") {
                cell_.hasValue = true;
                cell_.value = std::string_view();
                if (!child.selfClosing) t = textThenEnd(q, end, child.name, &value_, &cell_.value);
            } else if (child.local == "f") {
                cell_.hasFormula = true;
                cell_.formula = std::string_view();
                cell_.formulaType = valueOf(child, "t", &formulaType_);
                cell_.formulaShared = valueOf(child, "si", &formulaShared_);
                if (!child.selfClosing) t = textThenEnd(q, end, child.name, &formula_, &cell_.formula);
            } else if (child.local == "is") {
                cell_.hasValue = true;
                cell_.value = std::string_view();
                if (!child.selfClosing) t = inlineText(q, end, child.name);
            } else {
                return Scan::Refused;
            }
            if (t != Scan::Ok) return t;
        }
    }
    p = q;
    return Scan::Ok;
}

RawContentReader::Result SheetDataDecoder::read(const char *&p, const char *end, bool last) {
    const Result r = readRows(p, end, last);
    reading_ = r == Result::More;
    return r;
}

RawContentReader::Result SheetDataDecoder::readRows(const char *&p, const char *end, bool last) {
    auto more = [&]() { return last ? refused() : Result::More; };
    Tag tag;
    for (;;) {
        skipSpace(p, end);
        if (end - p < 2) return more();
        if (*p != '<') return refused();
        if (p[1] == '/') {
            if (!rowOpen_) return Result::Done;  // the end of sheetData, or a stray tag the scan reports
            const Scan s = endTag(p, end, rowName_);
            if (s == Scan::More) return more();
            if (s == Scan::Refused) return refused();
            rowOpen_ = false;
            continue;
        }
        if (p[1] == '!' || p[1] == '?') return refused();
        // Peek at the name: a cell is read whole before anything of it is passed on.
        const char *q = p + 1;
        while (q < end && nameInner(*q)) ++q;
        if (q >= end) return more();
        const std::string_view local = localOf(std::string_view(p + 1, static_cast<size_t>(q - p - 1)));
        if (local == "c") {
            // Unprefixed cells of the usual shape first; cell() reads any other.
            q = p + 2;
            if (p[1] != 'c' || !plainCell(q, end)) {
                q = p + 1;
                const Scan s = cell(q, end);
                if (s == Scan::More) return more();
                if (s == Scan::Refused) return refused();
            }
            p = q;
            if (!sink_.cell(cell_)) return Result::Stopped;
        } else if (local == "row") {
            if (rowOpen_) return refused();
            // The usual shape read in one pass; any other through the whole tag.
            RowMarkup row;
            bool selfClosing = false;
            std::string_view name = "row";
            const bool unprefixed = q == p + 4;  // the name peeked is "row" itself
            q = p + 4;
            if (!unprefixed || !plainRow(q, end, &row, &selfClosing)) {
                q = p + 1;
                const Scan s = startTag(q, end, &tag, &ignored_);
                if (s == Scan::More) return more();
                if (s == Scan::Refused) return refused();
                row.r = valueOf(tag, "r", &r_);
                row.ht = valueOf(tag, "ht", &ht_);
                row.s = valueOf(tag, "s", &s_);
                row.customFormat = valueOf(tag, "customFormat", &customFormat_);
                row.hidden = valueOf(tag, "hidden", &hidden_);
                selfClosing = tag.selfClosing;
                name = tag.name;
            }
            if (!selfClosing) {
                rowOpen_ = true;
                rowName_.assign(name);
            }
            p = q;
            if (!sink_.row(row)) return Result::Stopped;
        } else {
            return refused();
        }
    }
}

}  // namespace automation::readers::xlsx
