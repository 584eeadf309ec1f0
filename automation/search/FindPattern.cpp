// SPDX-License-Identifier: Apache-2.0
#include "automation/search/FindPattern.h"

#include "automation/search/TextFold.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

namespace automation::search {

namespace {
constexpr size_t kMinSearcherLength = 4;  // shorter needles: a plain scan is faster

// Ideographs: no case, no other width; nothing else folds to them.
bool foldsOnlyFromItself(char16_t c) { return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF); }
// Digits and signs without case: only their full-width forms fold to them.
bool foldsOnlyFromItselfAndFullWidth(char16_t c) {
    return (c >= u'0' && c <= u'9') ||
           (c < 0x80 && std::char_traits<char>::find("-.,/:()#%+", 10, static_cast<char>(c)));
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

struct FindPattern::PlainSearcher {
    explicit PlainSearcher(std::u16string n)
        : needle(std::move(n)), searcher(needle.data(), needle.data() + needle.size()) {}
    std::u16string needle;
    std::boyer_moore_horspool_searcher<const char16_t *> searcher;
};

FindPattern::FindPattern(const QString &what, bool whole) : whole_(whole) {
    if (what.isEmpty()) return;
    empty_ = false;

    // Tokenise the raw text first so that only ASCII *, ? and ~ act as
    // wildcards; the literal runs are folded afterwards.
    std::vector<Token> tokens;
    bool star = false;
    std::vector<bool> isStar;
    QString run;
    auto flushRun = [&] {
        if (run.isEmpty()) return;
        for (char16_t c : foldText(run)) {
            tokens.push_back(Token{c, false});
            isStar.push_back(false);
        }
        run.clear();
    };
    for (int i = 0; i < what.size(); ++i) {
        const QChar c = what.at(i);
        if (c == QLatin1Char('~') && i + 1 < what.size() &&
            (what.at(i + 1) == QLatin1Char('*') || what.at(i + 1) == QLatin1Char('?') ||
             what.at(i + 1) == QLatin1Char('~'))) {
            run.append(what.at(++i));
        } else if (c == QLatin1Char('*')) {
            flushRun();
            tokens.push_back(Token{});
            isStar.push_back(true);
            star = true;
        } else if (c == QLatin1Char('?')) {
            flushRun();
            tokens.push_back(Token{0, true});
            isStar.push_back(false);
            star = true;
        } else {
            run.append(c);
        }
    }
    flushRun();

    plain_ = !star;
    if (plain_) {
        for (const Token &t : tokens) literal_.push_back(t.ch);
        unfolded_ = literal_.empty() ? Unfolded::Never : Unfolded::Always;
        for (char16_t c : literal_) {
            if (foldsOnlyFromItself(c)) continue;
            if (foldsOnlyFromItselfAndFullWidth(c))
                unfolded_ = unfolded_ == Unfolded::Never ? Unfolded::Never : Unfolded::WithoutFullWidth;
            else
                unfolded_ = Unfolded::Never;
        }
        if (unfolded_ != Unfolded::Never)
            literalUtf8_ = QString::fromUtf16(literal_.data(), static_cast<int>(literal_.size())).toStdString();
        if (!whole_ && literal_.size() >= kMinSearcherLength) searcher_ = std::make_shared<PlainSearcher>(literal_);
        return;
    }

    anchoredStart_ = whole_ && !isStar.front();
    anchoredEnd_ = whole_ && !isStar.back();
    Segment current;
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (isStar[i]) {
            if (!current.empty()) segments_.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(tokens[i]);
        }
    }
    if (!current.empty()) segments_.push_back(std::move(current));
    // "a*" splits into one segment; it is anchored at the start only.
    if (segments_.empty()) anchoredStart_ = anchoredEnd_ = false;
}

long FindPattern::matchSegmentAt(const Segment &seg, std::u16string_view text, size_t at) {
    size_t i = at;
    for (const Token &t : seg) {
        if (i >= text.size()) return -1;
        if (t.anyOne) {
            // One character: a surrogate pair counts once.
            i += (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) ? 2 : 1;
        } else {
            if (text[i] != t.ch) return -1;
            ++i;
        }
    }
    return static_cast<long>(i);
}

bool FindPattern::matchGlob(std::u16string_view text) const {
    if (segments_.empty()) return true;  // only stars
    const size_t n = text.size();
    size_t first = 0, last = segments_.size();
    size_t pos = 0;
    if (anchoredStart_) {
        const long e = matchSegmentAt(segments_[0], text, 0);
        if (e < 0) return false;
        if (segments_.size() == 1 && anchoredEnd_) return static_cast<size_t>(e) == n;
        pos = static_cast<size_t>(e);
        first = 1;
    }
    if (anchoredEnd_) --last;
    // Between stars the leftmost place of each segment is always good enough.
    for (size_t s = first; s < last; ++s) {
        bool found = false;
        for (size_t i = pos; i < n; ++i) {
            const long e = matchSegmentAt(segments_[s], text, i);
            if (e >= 0) {
                pos = static_cast<size_t>(e);
                found = true;
                break;
            }
        }
        if (!found) return false;
    }
    if (anchoredEnd_ && last >= first) {
        const Segment &tail = segments_.back();
        for (size_t i = n; i + 1 > pos; --i) {
            if (matchSegmentAt(tail, text, i) == static_cast<long>(n)) return true;
            if (i == 0) break;
        }
        return false;
    }
    return true;
}

namespace {

// U+FF00..U+FF7F, the full-width forms, all begin with EF BC or EF BD in
// UTF-8: one pass over the text for both.
bool holdsFullWidthForm(std::string_view utf8) {
    for (size_t i = utf8.find('\xEF'); i != std::string_view::npos && i + 1 < utf8.size(); i = utf8.find('\xEF', i + 1))
        if (utf8[i + 1] == '\xBC' || utf8[i + 1] == '\xBD') return true;
    return false;
}

// Whether `needle` (two bytes or more) occurs in `text`. Most cell texts are
// short, and in UTF-8 CJK text the first byte of a pattern begins every
// third byte: a memchr and a memcmp call at each of those costs more than
// testing each place for the first two bytes and the last, inline.
bool containsBytes(std::string_view text, std::string_view needle) {
    constexpr size_t kShortText = 64;
    const size_t m = needle.size();
    if (m > text.size()) return false;
    if (m < 2 || text.size() > kShortText) return text.find(needle) != std::string_view::npos;
    uint16_t head;
    std::memcpy(&head, needle.data(), 2);
    const char tail = needle[m - 1];
    const char *t = text.data();
    for (size_t i = 0, last = text.size() - m; i <= last; ++i) {
        uint16_t here;
        std::memcpy(&here, t + i, 2);
        if (here == head && t[i + m - 1] == tail && std::memcmp(t + i + 2, needle.data() + 2, m - 2) == 0) return true;
    }
    return false;
}

}  // namespace

bool FindPattern::matchesUnfolded(std::string_view utf8, bool *decided) const {
    *decided = false;
    if (empty_ || utf8.empty()) {
        *decided = true;
        return false;
    }
    if (unfolded_ == Unfolded::Never) return false;
    if (unfolded_ == Unfolded::WithoutFullWidth && holdsFullWidthForm(utf8)) return false;
    *decided = true;
    return whole_ ? utf8 == literalUtf8_ : containsBytes(utf8, literalUtf8_);
}

bool FindPattern::matches(std::u16string_view folded) const {
    if (empty_ || folded.empty()) return false;
    if (plain_) {
        if (whole_) return folded == std::u16string_view(literal_);
        if (searcher_) {
            const char16_t *b = folded.data(), *e = folded.data() + folded.size();
            return std::search(b, e, searcher_->searcher) != e;
        }
        return folded.find(literal_) != std::u16string_view::npos;
    }
    return matchGlob(folded);
}

bool FindPattern::excludes(char16_t ch) const {
    if (empty_) return true;
    return whole_ && plain_ && literal_.find(ch) == std::u16string::npos;
}

int FindPattern::longestDigitRun() const {
    int longest = 0, run = 0;
    auto see = [&](bool digit) {
        run = digit ? run + 1 : 0;
        longest = std::max(longest, run);
    };
    if (plain_) {
        for (char16_t c : literal_) see(c >= u'0' && c <= u'9');
        return longest;
    }
    for (const Segment &seg : segments_) {
        run = 0;
        for (const Token &t : seg) see(!t.anyOne && t.ch >= u'0' && t.ch <= u'9');
    }
    return longest;
}

bool FindPattern::literalsWithin(std::u16string_view alphabet) const {
    if (empty_) return false;
    if (plain_) {
        for (char16_t c : literal_)
            if (alphabet.find(c) == std::u16string_view::npos) return false;
        return true;
    }
    for (const Segment &seg : segments_)
        for (const Token &t : seg)
            if (!t.anyOne && alphabet.find(t.ch) == std::u16string_view::npos) return false;
    return true;
}

}  // namespace automation::search
