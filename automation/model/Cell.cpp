// SPDX-License-Identifier: Apache-2.0
#include "automation/model/Cell.h"

#include <cstring>

namespace automation::model {

namespace {
struct ErrorName {
    CellError code;
    const char *text;
};
constexpr ErrorName kErrorNames[] = {
    {CellError::Null, "#NULL!"},   {CellError::Div0, "#DIV/0!"},
    {CellError::Value, "#VALUE!"}, {CellError::Ref, "#REF!"},
    {CellError::Name, "#NAME?"},   {CellError::Num, "#NUM!"},
    {CellError::NA, "#N/A"},       {CellError::GettingData, "#GETTING_DATA"},
};
}  // namespace

const char *errorText(CellError error) {
    for (const auto &e : kErrorNames)
        if (e.code == error) return e.text;
    return "#N/A";
}

bool errorFromText(const char *text, CellError *out) {
    if (!text) return false;
    for (const auto &e : kErrorNames) {
        if (std::strcmp(e.text, text) == 0) {
            if (out) *out = e.code;
            return true;
        }
    }
    return false;
}

}  // namespace automation::model
