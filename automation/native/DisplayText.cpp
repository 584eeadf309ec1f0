// SPDX-License-Identifier: Apache-2.0
#include "automation/native/DisplayText.h"

#include "automation/native/WorkbookCache.h"
#include "automation/numfmt/NumberFormat.h"
#include "automation/search/TextFold.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <iterator>

namespace automation::native {

namespace {
// Bounds the memo of rendered numbers; past it the memo starts afresh.
constexpr size_t kMaxMemoEntries = size_t(1) << 20;
constexpr size_t kNumberSlots = 4096;  // a power of two
constexpr char kTextFormat[] = "@";

// Whole numbers this small show in the General format as their plain digits.
constexpr double kPlainIntegerLimit = 1e10;

bool plainInteger(double v, std::u16string *out) {
    if (!(std::fabs(v) < kPlainIntegerLimit) || v != std::floor(v)) return false;
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<long long>(v));
    out->assign(buffer, result.ptr);
    return true;
}

uint64_t bitsOf(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}
}  // namespace

bool isGeneralFormat(const std::string &formatCode) {
    return formatCode.empty() ||
           QString::fromStdString(formatCode).compare(QLatin1String("General"), Qt::CaseInsensitive) == 0;
}

std::string displayText(const model::WorkbookModel &workbook, const model::Cell &cell) {
    const std::string &code = workbook.styles().at(cell.style).numberFormat;
    switch (cell.type) {
        case model::CellType::Empty:
            return {};
        case model::CellType::Number:
            return numfmt::formatNumber(cell.number, code, workbook.date1904);
        case model::CellType::String: {
            const std::string_view text = workbook.text(cell);
            if (isGeneralFormat(code) || code == kTextFormat) return std::string(text);
            return numfmt::formatText(text, code);
        }
        case model::CellType::Boolean:
            return cell.boolean ? "TRUE" : "FALSE";
        case model::CellType::Error:
            return model::errorText(cell.error);
    }
    return {};
}

void DisplayTextCache::attachShared(std::shared_ptr<const CachedWorkbook> shared) {
    shared_ = std::move(shared);
    sharedCount_ = shared_ ? shared_->model().strings().size() : 0;
    sharedFolded_ = nullptr;
    local_.clear();
    localBuilt_.clear();
}

void DisplayTextCache::forgetStringsFrom(uint32_t id) {
    const size_t keep = id > sharedCount_ ? id - sharedCount_ : 0;
    if (local_.size() > keep) {
        local_.resize(keep);
        localBuilt_.resize(keep);
    }
    for (auto it = formattedTexts_.begin(); it != formattedTexts_.end();)
        it = it->first.a >= id ? formattedTexts_.erase(it) : std::next(it);
}

DisplayTextCache::StyleKind DisplayTextCache::kindOf(const model::WorkbookModel &workbook, uint32_t style) {
    if (style >= styleKinds_.size())
        styleKinds_.resize(std::max<size_t>(style + 1, workbook.styles().size()), StyleKind::Unknown);
    StyleKind &kind = styleKinds_[style];
    if (kind == StyleKind::Unknown) {
        const std::string &code = workbook.styles().at(style).numberFormat;
        kind = isGeneralFormat(code) ? StyleKind::General : code == kTextFormat ? StyleKind::Text : StyleKind::Other;
    }
    return kind;
}

bool DisplayTextCache::numberAlphabet(const model::WorkbookModel &workbook, uint32_t style, std::u16string *alphabet) {
    // What any number format shows besides its own literals: digits, signs,
    // separators, exponent, percent, the overflow hashes.
    static const std::u16string kNumberCharacters = u"0123456789.,-+e/: %#";
    if (kindOf(workbook, style) == StyleKind::General) {
        *alphabet = kNumberCharacters;
        return true;
    }
    const std::u16string code = search::foldText(workbook.styles().at(style).numberFormat);
    for (const char16_t *word : {u"mmm", u"ddd", u"aaa", u"am/pm", u"a/p", u"dbnum", u"[$-", u"b1", u"b2", u"g"}) {
        if (code.find(word) != std::u16string::npos) return false;
    }
    // A code's own characters cover its literals (quoted, escaped or bare).
    *alphabet = kNumberCharacters + code;
    return true;
}

const std::u16string &DisplayTextCache::foldedString(const model::WorkbookModel &workbook, uint32_t id) {
    if (id < sharedCount_) {
        // Looked up once: asking the shared table each time costs a synchronisation per cell.
        if (!sharedFolded_) sharedFolded_ = &shared_->foldedStrings();
        return sharedFolded_->texts[id];
    }
    const size_t slot = id - sharedCount_;
    if (slot >= local_.size()) {
        local_.resize(slot + 1);
        localBuilt_.resize(slot + 1, 0);
    }
    if (!localBuilt_[slot]) {
        local_[slot] = search::foldText(workbook.strings().at(id));
        localBuilt_[slot] = 1;
    }
    return local_[slot];
}

const std::u16string &DisplayTextCache::folded(const model::WorkbookModel &workbook, const model::Cell &cell) {
    static const std::u16string kTrue = u"true", kFalse = u"false", kNone;
    switch (cell.type) {
        case model::CellType::Empty:
            return kNone;
        case model::CellType::Boolean:
            return cell.boolean ? kTrue : kFalse;
        case model::CellType::Error:
            scratch_ = search::foldText(std::string_view(model::errorText(cell.error)));
            return scratch_;
        case model::CellType::String: {
            const StyleKind kind = kindOf(workbook, cell.style);
            if (kind != StyleKind::Other) return foldedString(workbook, cell.stringId);
            const Key key{cell.stringId, cell.style};
            auto it = formattedTexts_.find(key);
            if (it != formattedTexts_.end()) return it->second;
            if (formattedTexts_.size() >= kMaxMemoEntries) formattedTexts_.clear();
            return formattedTexts_.emplace(key, search::foldText(displayText(workbook, cell))).first->second;
        }
        case model::CellType::Number: {
            // The General format renders faster than a memo could look it up.
            if (kindOf(workbook, cell.style) == StyleKind::General) {
                if (!plainInteger(cell.number, &scratch_))
                    scratch_ = search::foldText(std::string_view(numfmt::formatGeneral(cell.number)));
                return scratch_;
            }
            const Key key{bitsOf(cell.number), cell.style};
            if (numbers_.empty()) numbers_.resize(kNumberSlots);
            NumberSlot &slot = numbers_[KeyHash()(key) & (kNumberSlots - 1)];
            if (!slot.used || !(slot.key == key)) {
                slot.key = key;
                slot.used = true;
                slot.folded = search::foldText(displayText(workbook, cell));
            }
            return slot.folded;
        }
    }
    return kNone;
}

}  // namespace automation::native
