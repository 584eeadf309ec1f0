// SPDX-License-Identifier: Apache-2.0
// The rows and cells of a worksheet's sheetData, decoded straight from the
// inflated bytes: one call per row and per cell instead of an event per
// element, attribute and text. This is where a large sheet spends its time.
//
// It takes the markup producers write (rows holding cells holding a value,
// a formula and a plain inline text, any prefix, any attributes beside the
// ones read) and refuses anything else before it has passed it on:
// comments, CDATA, rich or phonetic inline text, unknown elements, text
// between elements, malformed markup. The caller then reads the sheet again
// through the general events, which decide on such content as they always
// have; so whatever this decoder passes on is exactly what the events give.
#pragma once

#include "automation/readers/xlsx/RawMarkup.h"
#include "automation/readers/xlsx/XmlStream.h"

#include <string>
#include <string_view>

namespace automation::readers::xlsx {

// Attribute values are NUL-terminated, decoded as the scanner decodes them;
// null when the attribute is absent.
struct RowMarkup {
    const char *r = nullptr, *ht = nullptr, *s = nullptr, *customFormat = nullptr, *hidden = nullptr;
};

struct CellMarkup {
    const char *r = nullptr, *s = nullptr, *t = nullptr;
    // A plain reference ("B7") or style index ("12") comes read instead of as text.
    bool addressed = false;  // row and column hold r, which is null
    uint32_t row = 0, column = 0;
    bool styled = false;  // styleValue holds s, which is null
    uint32_t styleValue = 0;
    bool hasValue = false;                                        // a <v> or an <is> was there
    std::string_view value;                                       // the last one's text; valid during the call only
    bool hasFormula = false;                                      // an <f> was there
    std::string_view formula;                                     // the last one's text; valid during the call only
    const char *formulaType = nullptr, *formulaShared = nullptr;  // its t and si

    // Field by field: assigning a blank whole compiles to a block fill
    // whose start-up costs more than the fields themselves, once per cell.
    void clear() {
        r = s = t = nullptr;
        addressed = styled = hasValue = hasFormula = false;
        row = column = styleValue = 0;
        value = std::string_view();
        formula = std::string_view();
        formulaType = formulaShared = nullptr;
    }
};

class SheetDataSink {
public:
    virtual ~SheetDataSink() = default;
    // Each answers whether to go on: false once the sink has stopped
    // (failed, or refused what came), and reading stops. One call a cell.
    virtual bool row(const RowMarkup &row) = 0;
    virtual bool cell(const CellMarkup &cell) = 0;
    // Called once when the decoder refuses the content; the sink must stop.
    virtual void refuse() = 0;
};

// An attribute's value, NUL-terminated; short plain ones without an allocation.
class AttributeText {
public:
    const char *set(const char *value, size_t length, bool plain);

private:
    static constexpr size_t kShort = 32;
    char short_[kShort];
    std::string long_;
};

class SheetDataDecoder : public RawContentReader {
public:
    explicit SheetDataDecoder(SheetDataSink &sink) : sink_(sink) {}

    Result read(const char *&p, const char *end, bool last) override;
    // Handed sheetData's content, before the first read().
    void start() {
        reading_ = true;
        rowOpen_ = false;
    }
    // Within sheetData, at its start or where the last read() stopped for
    // more bytes, with no row open: a row decoded apart may follow.
    bool betweenRows() const { return reading_ && !rowOpen_; }

private:
    rawmarkup::Scan rowStart(const char *&p, const char *end, std::string_view name, bool *selfClosing);
    rawmarkup::Scan cell(const char *&p, const char *end);
    bool plainCell(const char *&p, const char *end);
    // A row's start tag of the usual shape, from behind "<row".
    bool plainRow(const char *&p, const char *end, RowMarkup *row, bool *selfClosing);
    rawmarkup::Scan element(const char *&p, const char *end, std::string_view local, bool *selfClosing);
    rawmarkup::Scan textThenEnd(const char *&p, const char *end, std::string_view name, std::string *scratch,
                                std::string_view *text);
    rawmarkup::Scan inlineText(const char *&p, const char *end, std::string_view name);
    Result refused();
    Result readRows(const char *&p, const char *end, bool last);

    SheetDataSink &sink_;
    bool rowOpen_ = false;
    bool reading_ = false;  // started, and the last read() (if any) asked for more
    std::string rowName_;   // qualified, to match its end tag
    // Scratch, reused from cell to cell.
    AttributeText r_, ht_, s_, t_, customFormat_, hidden_, formulaType_, formulaShared_;
    std::string value_, formula_;  // texts that needed decoding
    std::string ignored_;
    CellMarkup cell_;
};

}  // namespace automation::readers::xlsx
