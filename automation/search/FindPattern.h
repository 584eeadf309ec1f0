// SPDX-License-Identifier: Apache-2.0
// A Find text compiled once: folded literals with the wildcards * (any run)
// and ? (one character), ~ escaping *, ? and ~. Matches folded cell texts.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace automation::search {

class FindPattern {
public:
    FindPattern() = default;  // matches nothing
    // whole: the entire text must match; otherwise any part of it may.
    FindPattern(const QString &what, bool whole);

    bool isEmpty() const { return empty_; }
    // `folded` must come from foldText(). An empty text never matches.
    bool matches(std::u16string_view folded) const;
    // The same answer for a text not yet folded (UTF-8), where folding could
    // not change it: a plain pattern of characters nothing else folds to
    // (ideographs), or nothing but their full-width forms (digits, some
    // signs) when the text holds no full-width form. *decided false: fold
    // the text and ask matches().
    bool matchesUnfolded(std::string_view utf8, bool *decided) const;
    // False when some literal character of the pattern is missing from
    // `alphabet`, so no text written only in that alphabet can match.
    bool literalsWithin(std::u16string_view alphabet) const;
    // True when no text holding `ch` (folded) can match: the whole text must
    // equal a pattern without wildcards that does not hold it.
    bool excludes(char16_t ch) const;
    // The most ASCII digits in a row that every matching text holds: the
    // longest run of digits among the pattern's literals.
    int longestDigitRun() const;

private:
    struct Token {
        char16_t ch = 0;
        bool anyOne = false;
    };
    using Segment = std::vector<Token>;
    struct PlainSearcher;

    static long matchSegmentAt(const Segment &seg, std::u16string_view text, size_t at);
    bool matchGlob(std::u16string_view text) const;

    bool empty_ = true;
    bool whole_ = true;
    bool plain_ = true;       // no wildcard at all
    std::u16string literal_;  // the plain pattern, folded
    enum class Unfolded : uint8_t { Never, Always, WithoutFullWidth };
    Unfolded unfolded_ = Unfolded::Never;  // when matchesUnfolded() decides
    std::string literalUtf8_;
    std::shared_ptr<const PlainSearcher> searcher_;
    std::vector<Segment> segments_;  // the glob between its * wildcards
    bool anchoredStart_ = true, anchoredEnd_ = true;
};

}  // namespace automation::search
