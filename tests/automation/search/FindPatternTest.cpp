// SPDX-License-Identifier: Apache-2.0
#include "automation/search/FindPattern.h"
#include "automation/search/TextFold.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <random>

using automation::search::FindPattern;
using automation::search::foldText;

namespace {
bool matches(const char *what, bool whole, const char *text) {
    return FindPattern(QString::fromUtf8(what), whole).matches(foldText(std::string_view(text)));
}

struct MatchCase {
    const char *what;
    const char *text;
    bool whole;
    bool part;
};

// Whether `what` matches `text` in whole-cell and in part mode.
const MatchCase kCases[] = {
    {"100", "100", true, true},
    {"100", "1000", false, true},
    {"100", "100 kg", false, true},
    {"100", "2100", false, true},
    {"apple", "APPLE", true, true},
    {"apple", "Pineapple pie", false, true},
    {"\xEF\xBC\xA1\xEF\xBC\xB0PLE", "apple", true, true},                      // full-width in the search text
    {"abc1", "\xEF\xBD\x81\xEF\xBD\x82\xEF\xBD\x83\xEF\xBC\x91", true, true},  // ... and in the cell
    {"a b",
     "a\xE3\x80\x80"
     "b",
     true, true},
    {"a*c", "abbbc", true, true},
    {"a*c", "xabcx", false, true},
    {"a*c", "ab", false, false},
    {"a?c", "abc", true, true},
    {"a?c", "ac", false, false},
    {"a?c",
     "a\xE4\xB8\xAD"
     "c",
     true, true},  // ? is one character, Chinese too
    {"a?c",
     "a\xF0\x9F\x98\x80"
     "c",
     true, true},  // ... and one outside the basic plane
    {"*", "anything", true, true},
    {"?", "x", true, true},
    {"?", "xy", false, true},
    {"*b", "aab", true, true},
    {"*b", "aba", false, true},
    {"b*", "bca", true, true},
    {"b*", "abc", false, true},
    {"a*b*c", "aXbYc", true, true},
    {"a*b*c", "aXcYb", false, false},
    {"a*a", "a", false, false},
    {"a*a", "aa", true, true},
    {"*a*a*", "banana", true, true},
    {"~*", "*", true, true},
    {"~*", "x", false, false},
    {"a~?", "a?", true, true},
    {"a~?", "ab", false, false},
    {"~~", "~", true, true},
    {"a~b", "a~b", true, true},  // a lone tilde is an ordinary character
    {"50%", "50%", true, true},
    {"x", "", false, false},
    {"", "x", false, false},
    {"", "", false, false},
    {"long needle text", "a LONG NEEDLE TEXT here", false, true},
};
}  // namespace

TEST(FindPattern, WholeAndPartMatchingCases) {
    for (const MatchCase &c : kCases) {
        EXPECT_EQ(matches(c.what, true, c.text), c.whole) << "whole: '" << c.what << "' in '" << c.text << "'";
        EXPECT_EQ(matches(c.what, false, c.text), c.part) << "part: '" << c.what << "' in '" << c.text << "'";
    }
}

TEST(FindPattern, FullWidthAsteriskIsLiteral) {
    // Only the ASCII wildcards act as wildcards.
    EXPECT_TRUE(matches("a\xEF\xBC\x8A", true, "a*"));
    EXPECT_FALSE(matches("a\xEF\xBC\x8A", true, "abc"));
}

TEST(FindPattern, NoLengthLimit) {
    const std::string longText(40000, 'q');
    EXPECT_TRUE(matches(longText.c_str(), true, longText.c_str()));
    EXPECT_FALSE(matches((longText + "r").c_str(), false, longText.c_str()));
}

TEST(FindPattern, ManyStarsDoNotBacktrackExponentially) {
    // Finishes at once with a linear-time matcher; a naive backtracker would not.
    const std::string text(5000, 'a');
    std::string what;
    for (int i = 0; i < 30; ++i) what += "*a";
    what += "*b";
    EXPECT_FALSE(matches(what.c_str(), true, text.c_str()));
    EXPECT_TRUE(matches(what.substr(0, what.size() - 2).c_str(), true, text.c_str()));
}

TEST(FindPattern, LiteralsWithinAlphabet) {
    const std::u16string digits = u"0123456789.-+e";
    EXPECT_TRUE(FindPattern("1?0*", true).literalsWithin(digits));
    EXPECT_TRUE(FindPattern("1E+10", true).literalsWithin(digits));
    EXPECT_FALSE(FindPattern("10 kg", false).literalsWithin(digits));
    EXPECT_FALSE(FindPattern("", false).literalsWithin(digits));
}

TEST(FindPattern, ExcludesACharacterOnlyWhenTheWholeTextMustBeItsLiteral) {
    EXPECT_TRUE(FindPattern("1101011234", true).excludes(u'.'));
    EXPECT_FALSE(FindPattern("1,101.00", true).excludes(u'.'));
    EXPECT_FALSE(FindPattern("1101011234", false).excludes(u'.'));  // a part of "1101011234.00"
    EXPECT_FALSE(FindPattern("11*", true).excludes(u'.'));
    EXPECT_FALSE(FindPattern("11?00", true).excludes(u'.'));
    EXPECT_TRUE(FindPattern("11~*", true).excludes(u'.'));  // an escaped star is a literal
}

TEST(FindPattern, LongestDigitRunCountsLiteralDigitsOnly) {
    EXPECT_EQ(FindPattern("1101011234", false).longestDigitRun(), 10);
    EXPECT_EQ(FindPattern("ab12c345", true).longestDigitRun(), 3);
    EXPECT_EQ(FindPattern("12?456", false).longestDigitRun(), 3);  // '?' may be a comma
    EXPECT_EQ(FindPattern("12*4567", false).longestDigitRun(), 4);
    EXPECT_EQ(FindPattern("1~*2", false).longestDigitRun(), 1);  // an escaped star is a literal
    EXPECT_EQ(FindPattern("\xEF\xBC\x91\xEF\xBC\x92\xEF\xBC\x93", false).longestDigitRun(), 3);  // full width, folded
    EXPECT_EQ(FindPattern("no digits", false).longestDigitRun(), 0);
}

// Deciding on the text as written must give what folding it would give,
// whatever mix of ideographs, digits, signs, letters and full-width forms.
TEST(FindPattern, MatchingUnfoldedTextAgreesWithMatchingItFolded) {
    const char *const pieces[] = {"\xE5\xBC\xA0",
                                  "\xE4\xBC\x9F",
                                  "1",
                                  "0",
                                  "\xEF\xBC\x91" /* full-width 1 */,
                                  ".",
                                  "-",
                                  "A",
                                  "a",
                                  "\xC3\x9F" /* sharp s */,
                                  " ",
                                  "\xE3\x80\x80",
                                  "\xEF\xBC\x8E" /* full-width . */,
                                  "\xE3\x81\x82",
                                  "|",
                                  "\xEF\xBD\x9C" /* full-width | */,
                                  "\xEF\xBF\xA5" /* full-width yen */,
                                  "\xEF\xA4\x80" /* a compatibility ideograph */};
    std::mt19937 rng(99);
    auto pick = [&](int maxLength) {
        std::string out;
        const int length = std::uniform_int_distribution<int>(0, maxLength)(rng);
        for (int i = 0; i < length; ++i)
            out += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(rng)];
        return out;
    };
    int decidedCount = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::string what = pick(3), text = pick(6);
        for (bool whole : {false, true}) {
            const FindPattern p(QString::fromStdString(what), whole);
            bool decided = false;
            const bool unfolded = p.matchesUnfolded(text, &decided);
            if (!decided) continue;
            ++decidedCount;
            ASSERT_EQ(unfolded, p.matches(foldText(std::string_view(text))))
                << "pattern [" << what << "] text [" << text << "] whole " << whole;
        }
    }
    EXPECT_GT(decidedCount, 5000);  // the shortcut is taken, not only declined
}

// Random patterns against a regular-expression rendering of the same rules.
TEST(FindPattern, AgreesWithRegularExpressionReference) {
    std::mt19937 rng(1234);
    const char alphabet[] = "abAB*?~";
    const char textAlphabet[] = "abAB*?~";
    for (int round = 0; round < 3000; ++round) {
        std::string what, text;
        const int wl = 1 + static_cast<int>(rng() % 6), tl = static_cast<int>(rng() % 8);
        for (int i = 0; i < wl; ++i) what += alphabet[rng() % 7];
        for (int i = 0; i < tl; ++i) text += textAlphabet[rng() % 7];
        QString rx;
        for (size_t i = 0; i < what.size(); ++i) {
            const char c = what[i];
            if (c == '~' && i + 1 < what.size() && (what[i + 1] == '*' || what[i + 1] == '?' || what[i + 1] == '~'))
                rx += QRegularExpression::escape(QString(QChar(what[++i])));
            else if (c == '*')
                rx += ".*";
            else if (c == '?')
                rx += ".";
            else
                rx += QRegularExpression::escape(QString(QChar(c)));
        }
        for (bool whole : {true, false}) {
            const QRegularExpression re(
                whole ? "^(?:" + rx + ")$" : rx,
                QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
            const bool expected = !text.empty() && re.match(QString::fromStdString(text)).hasMatch();
            EXPECT_EQ(matches(what.c_str(), whole, text.c_str()), expected)
                << (whole ? "whole '" : "part '") << what << "' in '" << text << "'";
        }
    }
}
