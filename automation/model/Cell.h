// SPDX-License-Identifier: Apache-2.0
// One cell of the sparse worksheet model.
#pragma once

#include <cstdint>

namespace automation::model {

enum class CellType : uint8_t { Empty, Number, String, Boolean, Error };

// Error values in the codes the .xls format uses.
enum class CellError : uint8_t {
    Null = 0x00,   // #NULL!
    Div0 = 0x07,   // #DIV/0!
    Value = 0x0F,  // #VALUE!
    Ref = 0x17,    // #REF!
    Name = 0x1D,   // #NAME?
    Num = 0x24,    // #NUM!
    NA = 0x2A,     // #N/A
    GettingData = 0x2B,
};

const char *errorText(CellError error);                // "#N/A" etc.
bool errorFromText(const char *text, CellError *out);  // inverse; false when unknown

// 24 bytes: a column, a style and a value. Text lives in the workbook's
// string pool and is referred to by index, so equal texts are stored once.
struct Cell {
    uint32_t column = 0;  // 1-based
    uint32_t style = 0;   // index into the workbook's style table; 0 is the default style
    CellType type = CellType::Empty;
    union {
        double number;
        uint32_t stringId;
        bool boolean;
        CellError error;
    };

    Cell() : number(0) {}
    static Cell makeNumber(uint32_t col, double v, uint32_t style = 0) {
        Cell c;
        c.column = col;
        c.style = style;
        c.type = CellType::Number;
        c.number = v;
        return c;
    }
    static Cell makeString(uint32_t col, uint32_t id, uint32_t style = 0) {
        Cell c;
        c.column = col;
        c.style = style;
        c.type = CellType::String;
        c.stringId = id;
        return c;
    }
    static Cell makeBoolean(uint32_t col, bool v, uint32_t style = 0) {
        Cell c;
        c.column = col;
        c.style = style;
        c.type = CellType::Boolean;
        c.boolean = v;
        return c;
    }
    static Cell makeError(uint32_t col, CellError e, uint32_t style = 0) {
        Cell c;
        c.column = col;
        c.style = style;
        c.type = CellType::Error;
        c.error = e;
        return c;
    }
    static Cell makeEmpty(uint32_t col, uint32_t style) {
        Cell c;
        c.column = col;
        c.style = style;
        return c;
    }

    bool hasValue() const { return type != CellType::Empty; }
    // A cell counts as used when it holds a value or a format of its own.
    bool isUsed() const { return type != CellType::Empty || style != 0; }
};

static_assert(sizeof(Cell) <= 24, "cells must stay small");

}  // namespace automation::model
