// SPDX-License-Identifier: Apache-2.0
#include "automation/readers/xlsx/FormulaEvaluation.h"

#include "automation/model/Limits.h"
#include "automation/readers/xlsx/OoxmlText.h"

#include <ixion/address.hpp>
#include <ixion/config.hpp>
#include <ixion/exceptions.hpp>
#include <ixion/formula.hpp>
#include <ixion/formula_function_opcode.hpp>
#include <ixion/formula_name_resolver.hpp>
#include <ixion/formula_result.hpp>
#include <ixion/formula_tokens.hpp>
#include <ixion/model_context.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <unordered_set>
#include <utility>

namespace automation::readers::xlsx {

namespace {

using namespace model;

// Functions whose result is not the file's to give: it changes with the
// moment, the machine or the network, or the function only waits.
constexpr std::string_view kNeverEvaluated[] = {"NOW",    "TODAY",     "RAND",     "RANDBETWEEN", "WAIT",
                                                "OFFSET", "INFO",      "INDIRECT", "CELL",        "WEBSERVICE",
                                                "DDE",    "FILTERXML", "CURRENT",  "GOALSEEK",    "GETPIVOTDATA"};

// Functions whose result the application shows as TRUE or FALSE; the engine gives 1 or 0.
constexpr std::string_view kLogicalFunctions[] = {
    "AND",       "OR",        "NOT",  "XOR",       "TRUE",     "FALSE", "ISBLANK", "ISERR",  "ISERROR", "ISEVEN",
    "ISFORMULA", "ISLOGICAL", "ISNA", "ISNONTEXT", "ISNUMBER", "ISODD", "ISREF",   "ISTEXT", "EXACT"};

bool listed(const std::string_view *begin, const std::string_view *end, std::string_view name) {
    return std::find(begin, end, name) != end;
}

// Calculates `formula` in a tiny model: A1 holds 2, A2 -2, C1 TRUE, D1 a
// text, B1 nothing. Throws what the engine throws.
ixion::formula_result calculateAlone(const std::string &formula) {
    ixion::model_context cxt({16, 16});
    cxt.append_sheet("S");
    cxt.set_numeric_cell(ixion::abs_address_t(0, 0, 0), 2);
    cxt.set_numeric_cell(ixion::abs_address_t(0, 1, 0), -2);
    cxt.set_boolean_cell(ixion::abs_address_t(0, 0, 2), true);
    cxt.set_string_cell(ixion::abs_address_t(0, 0, 3), "x");
    auto resolver = ixion::formula_name_resolver::get(ixion::formula_name_resolver_t::excel_a1, &cxt);
    const ixion::abs_address_t pos(0, 10, 10);
    auto store = ixion::formula_tokens_store::create();
    store->get() = ixion::parse_formula_string(cxt, pos, *resolver, formula);
    cxt.set_formula_cell(pos, store);
    ixion::register_formula_cell(cxt, pos);
    ixion::abs_range_set_t dirty{ixion::abs_range_t(pos)};
    ixion::calculate_sorted_cells(cxt, ixion::query_and_sort_dirty_cells(cxt, {}, &dirty), 0);
    return cxt.get_formula_result(pos);
}

// What the application gives where engines tend to differ: empty cells,
// texts and booleans among the arguments. A function that gives something
// else is not evaluated. NaN: an error value.
struct Agreement {
    std::string_view function;
    const char *formula;
    double expected;
};
const Agreement kAgreements[] = {
    {"AVERAGE", "AVERAGE(A1,B1)", 2},
    {"AVERAGE", "AVERAGE(A1:D1)", 2},
    {"MIN", "MIN(A1,B1)", 2},
    {"MIN", "MIN(A1:D1)", 2},
    {"MAX", "MAX(A2,B1)", -2},
    {"MAX", "MAX(A2:B2)", -2},
    {"SUM", "SUM(A1:B2,D1)", 0},
    {"SUBTOTAL", "SUBTOTAL(1,A1:D1)", 2},
    {"SUBTOTAL", "SUBTOTAL(9,A1:D1)", 2},
    {"COUNTA", "COUNTA(A1:D1)", 3},
    {"INT", "INT(D1)", std::nan("")},
    {"INT", "INT(-2.5)", -3},
    {"LEN", "LEN(A2)", 2},
    {"IF", "IF(B1,1,2)", 2},
};

bool agrees(const Agreement &a) {
    try {
        const ixion::formula_result r = calculateAlone(a.formula);
        if (std::isnan(a.expected)) return r.get_type() == ixion::formula_result::result_type::error;
        return r.get_type() == ixion::formula_result::result_type::value && r.get_value() == a.expected;
    } catch (...) {
        return false;
    }
}

// The engine knows more function names than it evaluates, and stops the whole
// calculation at one it lacks; which ones it evaluates, as the application
// does, is asked once, of a tiny model each.
std::set<ixion::formula_function_t> probeEvaluableFunctions() {
    std::set<ixion::formula_function_t> found;
    const auto last = static_cast<int>(ixion::formula_function_t::func_ztest);
    for (int code = 1; code <= last; ++code) {
        const auto function = static_cast<ixion::formula_function_t>(code);
        const std::string name(ixion::get_formula_function_name(function));
        if (name.empty() || listed(std::begin(kNeverEvaluated), std::end(kNeverEvaluated), name)) continue;
        bool implemented = true;
        try {
            calculateAlone(name + "(1)");
        } catch (const ixion::not_implemented_error &) {
            implemented = false;
        } catch (...) {
            // evaluated, and refused the argument
        }
        if (!implemented) continue;
        bool agreeing = true;
        for (const Agreement &a : kAgreements)
            if (a.function == name && !agrees(a)) agreeing = false;
        if (agreeing) found.insert(function);
    }
    return found;
}

const std::set<ixion::formula_function_t> &evaluableFunctions() {
    static const std::set<ixion::formula_function_t> functions = probeEvaluableFunctions();
    return functions;
}

// A parsed formula, shared by the cells of a shared formula.
struct Parsed {
    ixion::formula_tokens_store_ptr_t tokens;
    bool evaluable = false;
    bool logical = false;  // its result is TRUE or FALSE
};

// Rows of cells by sheet and column, ascending once sorted.
using CellIndex = std::map<std::pair<ixion::sheet_t, ixion::col_t>, std::vector<ixion::row_t>>;

class Evaluation {
public:
    Evaluation(WorkbookModel &workbook, const FormulaSource &source)
        : workbook_(workbook),
          source_(source),
          cxt_({static_cast<ixion::row_t>(kMaxRows), static_cast<ixion::col_t>(kMaxColumns)}) {}

    uint32_t run() {
        const WorkbookFormulas &all = *source_.formulas;
        size_t cells = 0;
        for (size_t s = 0; s < workbook_.sheetCount(); ++s) cells += workbook_.sheet(s).cellCount();
        if (all.overflow || cells > WorkbookFormulas::kMaxWorkbookCells)
            return countNeedingResult() + static_cast<uint32_t>(all.uncollectedNeedingResult);
        ixion::config config;
        config.output_precision = 15;  // numbers turned into text carry the digits the application shows
        cxt_.set_config(config);
        for (size_t s = 0; s < workbook_.sheetCount(); ++s) cxt_.append_sheet(workbook_.sheet(s).name);
        resolver_ = ixion::formula_name_resolver::get(ixion::formula_name_resolver_t::excel_a1, &cxt_);
        putValues();
        defineNames();
        placeFormulas();
        calculate();
        return takeResults();
    }

private:
    struct Pending {
        size_t sheet;
        const FormulaCell *cell;
        ixion::abs_address_t pos;
        bool logical;
    };

    bool needsResult(const FormulaCell &f) const { return !f.hasValue || source_.fullCalcOnLoad; }

    uint32_t countNeedingResult() const {
        uint32_t n = 0;
        for (const SheetFormulas &sheet : source_.formulas->sheets)
            for (const FormulaCell &f : sheet) n += needsResult(f) ? 1 : 0;
        return n;
    }

    static uint64_t key(size_t sheet, uint32_t row, uint32_t column) {
        return (static_cast<uint64_t>(sheet) << 40) | (static_cast<uint64_t>(row) << 16) | column;
    }

    // Cells whose value is not a plain stored one: formulas to evaluate and error values.
    void noteOutside(const ixion::abs_address_t &pos) { outside_[{pos.sheet, pos.column}].push_back(pos.row); }

    bool holdsOutside(const ixion::abs_range_t &range) const { return holds(outside_, range); }

    // Whether `range` holds a cell of `index`; a very wide range is taken to.
    static bool holds(const CellIndex &index, const ixion::abs_range_t &range) {
        if (index.empty()) return false;
        if (!range.valid() || range.all_columns() || range.last.column - range.first.column > kMaxColumnsLooked)
            return true;
        for (ixion::sheet_t s = range.first.sheet; s <= range.last.sheet; ++s) {
            for (ixion::col_t c = range.first.column; c <= range.last.column; ++c) {
                const auto rows = index.find({s, c});
                if (rows == index.end()) continue;
                if (range.all_rows()) return true;
                const auto at = std::lower_bound(rows->second.begin(), rows->second.end(), range.first.row);
                if (at != rows->second.end() && *at <= range.last.row) return true;
            }
        }
        return false;
    }

    // Whether a formula refers to a cell that is not a plain value. Only such
    // formulas are registered with the engine's dependency tracking, which
    // costs much per cell: the others can be calculated in any order.
    bool dependsOnOthers(const ixion::formula_tokens_t &tokens, const ixion::abs_address_t &pos) const {
        for (const auto &token : tokens) {
            switch (token->get_opcode()) {
                case ixion::fop_single_ref:
                    if (holdsOutside(ixion::abs_range_t(token->get_single_ref().to_abs(pos)))) return true;
                    break;
                case ixion::fop_range_ref:
                    if (holdsOutside(token->get_range_ref().to_abs(pos))) return true;
                    break;
                case ixion::fop_named_expression:
                    return true;
                default:
                    break;
            }
        }
        return false;
    }

    static ixion::abs_address_t address(size_t sheet, uint32_t row, uint32_t column) {
        return ixion::abs_address_t(static_cast<ixion::sheet_t>(sheet), static_cast<ixion::row_t>(row - 1),
                                    static_cast<ixion::col_t>(column - 1));
    }

    // Every value the sheets hold, the stored results of formulas that are not
    // evaluated among them. A cell is set once: the engine is slow to turn a
    // value into a formula in the middle of a column.
    void putValues() {
        std::unordered_set<uint64_t> replaced;
        const auto &sheets = source_.formulas->sheets;
        for (size_t s = 0; s < sheets.size(); ++s) {
            for (const FormulaCell &f : sheets[s]) {
                if (!needsResult(f)) continue;
                replaced.insert(key(s, f.row, f.column));
                noteOutside(address(s, f.row, f.column));
            }
        }
        for (size_t s = 0; s < workbook_.sheetCount(); ++s) {
            for (const Row &row : workbook_.sheet(s).rows()) {
                for (const Cell &c : row.cells) {
                    if (!replaced.empty() && replaced.count(key(s, row.index, c.column))) continue;
                    const ixion::abs_address_t pos = address(s, row.index, c.column);
                    switch (c.type) {
                        case CellType::Number:
                            cxt_.set_numeric_cell(pos, c.number);
                            break;
                        case CellType::String:
                            cxt_.set_string_cell(pos, workbook_.text(c));
                            break;
                        case CellType::Boolean:
                            cxt_.set_boolean_cell(pos, c.boolean);
                            booleans_[{pos.sheet, pos.column}].push_back(pos.row);
                            break;
                        case CellType::Error:
                            // The engine has no error values to hold; what depends on one is not evaluated.
                            unresolved_.insert(pos);
                            noteOutside(pos);
                            break;
                        case CellType::Empty:
                            break;
                    }
                }
            }
        }
    }

    void defineNames() {
        // Names may refer to one another: those whose parts are all known are defined.
        for (const DefinedName &n : *source_.names) {
            int sheet = -1;
            if (n.localSheet >= 0) {
                if (!source_.listedSheets || static_cast<size_t>(n.localSheet) >= source_.listedSheets->size())
                    continue;
                sheet = workbook_.sheetIndex((*source_.listedSheets)[static_cast<size_t>(n.localSheet)]);
                if (sheet < 0) continue;
            }
            names_.insert({sheet, n.name});
        }
        for (const DefinedName &n : *source_.names) {
            int sheet = -1;
            if (n.localSheet >= 0) {
                sheet = workbook_.sheetIndex((*source_.listedSheets)[static_cast<size_t>(n.localSheet)]);
                if (!names_.count({sheet, n.name})) continue;
            }
            const ixion::abs_address_t origin(sheet < 0 ? 0 : sheet, 0, 0);
            try {
                ixion::formula_tokens_t tokens = ixion::parse_formula_string(cxt_, origin, *resolver_, n.formula);
                bool logical = false;
                if (!evaluable(tokens, sheet < 0 ? 0 : static_cast<size_t>(sheet), &logical)) {
                    names_.erase({sheet, n.name});
                    continue;
                }
                if (sheet < 0)
                    cxt_.set_named_expression(n.name, origin, std::move(tokens));
                else
                    cxt_.set_named_expression(sheet, n.name, origin, std::move(tokens));
            } catch (...) {
                names_.erase({sheet, n.name});
            }
        }
    }

    // Whether the engine can evaluate these tokens as the application would.
    bool evaluable(const ixion::formula_tokens_t &tokens, size_t sheet, bool *logical) const {
        if (tokens.empty()) return false;
        const auto &functions = evaluableFunctions();
        int depth = 0;
        bool compares = false, text = false;
        *logical = false;
        for (const auto &token : tokens) {
            switch (token->get_opcode()) {
                case ixion::fop_function:
                    if (!functions.count(static_cast<ixion::formula_function_t>(token->get_uint32()))) return false;
                    break;
                case ixion::fop_named_expression: {
                    // An unknown name is also how the engine reads a function it does not know.
                    const std::string name = token->get_name();
                    if (!names_.count({static_cast<int>(sheet), name}) && !names_.count({-1, name})) return false;
                    break;
                }
                case ixion::fop_table_ref:
                case ixion::fop_error:
                case ixion::fop_unknown:
                    return false;
                case ixion::fop_open:
                    ++depth;
                    break;
                case ixion::fop_close:
                    --depth;
                    break;
                case ixion::fop_equal:
                case ixion::fop_not_equal:
                case ixion::fop_less:
                case ixion::fop_greater:
                case ixion::fop_less_equal:
                case ixion::fop_greater_equal:
                    // Comparisons bind last: one outside any parentheses decides the result.
                    if (depth == 0) *logical = true;
                    compares = true;
                    break;
                case ixion::fop_string:
                    text = true;
                    break;
                default:
                    break;
            }
        }
        // The engine compares texts with their case, the application without.
        if (compares && text) return false;
        if (!*logical && tokens.front()->get_opcode() == ixion::fop_function) {
            const std::string_view name =
                ixion::get_formula_function_name(static_cast<ixion::formula_function_t>(tokens.front()->get_uint32()));
            *logical = wholeCall(tokens) && listed(std::begin(kLogicalFunctions), std::end(kLogicalFunctions), name);
        }
        return true;
    }

    // A function call and nothing around it: its parentheses close at the end.
    static bool wholeCall(const ixion::formula_tokens_t &tokens) {
        int depth = 0;
        for (size_t i = 1; i < tokens.size(); ++i) {
            const ixion::fopcode_t op = tokens[i]->get_opcode();
            if (op == ixion::fop_open) ++depth;
            if (op == ixion::fop_close && --depth == 0) return i + 1 == tokens.size();
        }
        return false;
    }

    // The formula of a cell, parsed where its text was written.
    const Parsed *parse(size_t sheet, const FormulaCell &f) {
        const FormulaCell *origin = &f;
        if (f.kind == FormulaKind::Shared) {
            auto cached = shared_.find({sheet, f.sharedIndex});
            if (cached != shared_.end()) return &cached->second;
            const auto master = masters_.find({sheet, f.sharedIndex});
            if (master == masters_.end()) return nullptr;
            origin = master->second;
        }
        Parsed parsed;
        // A reference the file itself calls lost (#REF!) is the engine's answer for a
        // circular reference too; such formulas are left as stored.
        if (origin->text.find("#REF!") == std::string::npos) {
            try {
                const ixion::abs_address_t pos = address(sheet, origin->row, origin->column);
                ixion::formula_tokens_t tokens = ixion::parse_formula_string(cxt_, pos, *resolver_, origin->text);
                parsed.evaluable = evaluable(tokens, sheet, &parsed.logical);
                parsed.tokens = ixion::formula_tokens_store::create();
                parsed.tokens->get() = std::move(tokens);
            } catch (...) {
                parsed.evaluable = false;  // external references, text the engine cannot read
            }
        }
        if (f.kind == FormulaKind::Shared)
            return &shared_.emplace(std::make_pair(sheet, f.sharedIndex), parsed).first->second;
        single_ = std::move(parsed);
        return &single_;
    }

    // The engine counts booleans in ranges as numbers, the application passes them over.
    bool rangeHoldsBoolean(const ixion::formula_tokens_t &tokens, const ixion::abs_address_t &pos) const {
        for (const auto &token : tokens)
            if (token->get_opcode() == ixion::fop_range_ref && holds(booleans_, token->get_range_ref().to_abs(pos)))
                return true;
        return false;
    }

    // "=A1" on a boolean: the engine gives 1, the application TRUE.
    bool refersToBoolean(const ixion::formula_tokens_t &tokens, const ixion::abs_address_t &pos) const {
        return tokens.size() == 1 && tokens.front()->get_opcode() == ixion::fop_single_ref &&
               holds(booleans_, ixion::abs_range_t(tokens.front()->get_single_ref().to_abs(pos)));
    }

    void placeFormulas() {
        for (auto &rows : outside_) std::sort(rows.second.begin(), rows.second.end());
        for (auto &rows : booleans_) std::sort(rows.second.begin(), rows.second.end());
        const auto &sheets = source_.formulas->sheets;
        for (size_t s = 0; s < sheets.size() && s < workbook_.sheetCount(); ++s)
            for (const FormulaCell &f : sheets[s])
                if (f.kind == FormulaKind::Shared && !f.text.empty())
                    masters_.emplace(std::make_pair(s, f.sharedIndex), &f);
        for (size_t s = 0; s < sheets.size() && s < workbook_.sheetCount(); ++s) {
            for (const FormulaCell &f : sheets[s]) {
                if (!needsResult(f)) continue;  // the stored result stands, already among the values
                const ixion::abs_address_t pos = address(s, f.row, f.column);
                const Parsed *parsed =
                    f.kind == FormulaKind::Normal || f.kind == FormulaKind::Shared ? parse(s, f) : nullptr;
                const bool linked = parsed && parsed->evaluable && dependsOnOthers(parsed->tokens->get(), pos);
                if (!parsed || !parsed->evaluable || rangeHoldsBoolean(parsed->tokens->get(), pos) ||
                    (linked && dirty_.size() >= kMaxLinkedFormulas)) {
                    ++notEvaluated_;
                    unresolved_.insert(pos);
                    continue;
                }
                cxt_.set_formula_cell(pos, parsed->tokens);
                if (linked) {
                    ixion::register_formula_cell(cxt_, pos);
                    dirty_.insert(ixion::abs_range_t(pos));
                } else {
                    independent_.push_back(ixion::abs_range_t(pos));
                }
                pending_.push_back(Pending{s, &f, pos, parsed->logical || refersToBoolean(parsed->tokens->get(), pos)});
            }
        }
    }

    // One cell at a time: the engine stops a calculation at the first
    // formula it cannot take (an argument count it does not accept).
    void calculate() {
        if (pending_.empty()) return;
        std::vector<ixion::abs_range_t> order = std::move(independent_);
        if (!dirty_.empty()) {
            const std::vector<ixion::abs_range_t> sorted = ixion::query_and_sort_dirty_cells(cxt_, {}, &dirty_);
            order.insert(order.end(), sorted.begin(), sorted.end());
        }
        std::vector<ixion::abs_range_t> one(1);
        for (const ixion::abs_range_t &cell : order) {
            one[0] = cell;
            try {
                ixion::calculate_sorted_cells(cxt_, one, 0);
            } catch (...) {
                unresolved_.insert(cell.first);
            }
        }
        // What depends on a cell without a result has none either.
        if (!unresolved_.empty()) dependents_ = ixion::query_dirty_cells(cxt_, unresolved_);
    }

    bool resultCell(const Pending &p, Cell *out) {
        if (unresolved_.count(p.pos) || dependents_.count(p.pos)) return false;
        const ixion::formula_result result = cxt_.get_formula_result(p.pos);
        const uint32_t column = p.cell->column, style = p.cell->style;
        switch (result.get_type()) {
            case ixion::formula_result::result_type::value:
                *out = p.logical ? Cell::makeBoolean(column, result.get_value() != 0, style)
                                 : Cell::makeNumber(column, result.get_value(), style);
                return true;
            case ixion::formula_result::result_type::string: {
                std::string text = result.get_string();
                cutToUtf16Units(text, kMaxTextLength);
                *out = Cell::makeString(column, workbook_.mutableStrings().append(std::move(text)), style);
                return true;
            }
            case ixion::formula_result::result_type::error:
                return errorCell(result.get_error(), column, style, out);
            case ixion::formula_result::result_type::matrix:
                return false;
        }
        return false;
    }

    static bool errorCell(ixion::formula_error_t error, uint32_t column, uint32_t style, Cell *out) {
        switch (error) {
            case ixion::formula_error_t::ref_result_not_available:
                // No formula left to evaluate refers to a lost cell: this is a
                // circular reference, which the application shows as 0.
                *out = Cell::makeNumber(column, 0, style);
                return true;
            case ixion::formula_error_t::division_by_zero:
                *out = Cell::makeError(column, CellError::Div0, style);
                return true;
            case ixion::formula_error_t::name_not_found:
                *out = Cell::makeError(column, CellError::Name, style);
                return true;
            case ixion::formula_error_t::no_range_intersection:
                *out = Cell::makeError(column, CellError::Null, style);
                return true;
            case ixion::formula_error_t::invalid_expression:
            case ixion::formula_error_t::invalid_value_type:
                *out = Cell::makeError(column, CellError::Value, style);
                return true;
            default:
                return false;
        }
    }

    uint32_t takeResults() {
        for (const Pending &p : pending_) {
            Cell cell;
            bool ok = false;
            try {
                ok = resultCell(p, &cell);
            } catch (...) {
                ok = false;
            }
            if (!ok) {
                ++notEvaluated_;
                continue;
            }
            workbook_.mutableSheet(p.sheet).setCell(p.cell->row, cell);
        }
        return notEvaluated_;
    }

    WorkbookModel &workbook_;
    const FormulaSource &source_;
    ixion::model_context cxt_;
    std::unique_ptr<ixion::formula_name_resolver> resolver_;
    std::set<std::pair<int, std::string>> names_;  // usable names: sheet (-1: the workbook's) and name
    std::map<std::pair<size_t, uint32_t>, const FormulaCell *> masters_;
    std::map<std::pair<size_t, uint32_t>, Parsed> shared_;
    Parsed single_;
    static constexpr ixion::col_t kMaxColumnsLooked = 256;  // a wider range is taken to hold formulas
    // The engine orders formulas that refer to formulas by recursion, one
    // level per link of a chain, and is slow to register them: past this
    // many, the others are not evaluated.
    static constexpr size_t kMaxLinkedFormulas = 50000;
    CellIndex outside_, booleans_;
    std::vector<Pending> pending_;
    ixion::abs_range_set_t dirty_;
    std::vector<ixion::abs_range_t> independent_;  // formulas on plain values alone, calculated first
    ixion::abs_address_set_t unresolved_, dependents_;
    uint32_t notEvaluated_ = 0;
};

}  // namespace

uint32_t evaluateFormulas(WorkbookModel &workbook, const FormulaSource &source) {
    if (!source.formulas || !source.names) return 0;
    try {
        Evaluation evaluation(workbook, source);
        return evaluation.run();
    } catch (...) {
        // The engine failed as a whole: every formula keeps what the file stored.
        uint32_t n = 0;
        for (const SheetFormulas &sheet : source.formulas->sheets)
            for (const FormulaCell &f : sheet) n += !f.hasValue || source.fullCalcOnLoad ? 1 : 0;
        return n + static_cast<uint32_t>(source.formulas->uncollectedNeedingResult);
    }
}

}  // namespace automation::readers::xlsx
