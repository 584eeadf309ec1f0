// SPDX-License-Identifier: Apache-2.0
#include "automation/search/TextFold.h"

#include <gtest/gtest.h>

using automation::search::foldText;

namespace {
std::u16string u16(const char16_t *s) { return std::u16string(s); }
}  // namespace

TEST(TextFold, FoldsCaseAndWidthAlike) {
    struct Case {
        const char *utf8;
        const char16_t *expected;
    };
    const Case cases[] = {
        {"ABC xyz", u"abc xyz"},
        {"\xEF\xBC\xA1\xEF\xBD\x82\xEF\xBC\x91", u"ab1"},  // full-width A, b, 1
        {"\xE3\x80\x80", u" "},                            // ideographic space
        {"\xEF\xBC\x81\xEF\xBD\x9E", u"!~"},               // both ends of the full-width block
        {"\xC3\x84pfel", u"\u00e4pfel"},                   // non-ASCII letters fold too
        {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", u"\u043c\u043e\u0441\u043a\u0432\u0430"},
        {"\xE4\xB8\xAD\xE6\x96\x87", u"\u4e2d\u6587"},  // Chinese stays as it is
        {"", u""},
    };
    for (const Case &c : cases) EXPECT_EQ(foldText(std::string_view(c.utf8)), u16(c.expected)) << c.utf8;
}

TEST(TextFold, Utf8AndQStringPathsAgree) {
    const char *samples[] = {"Hello", "\xEF\xBC\xA8\xEF\xBD\x85llo",
                             "Stra\xC3\x9F"
                             "e",
                             "\xF0\x9F\x98\x80 OK"};
    for (const char *s : samples) EXPECT_EQ(foldText(std::string_view(s)), foldText(QString::fromUtf8(s))) << s;
}

// The UTF-8 path folds ASCII, CJK and full-width text itself: every
// character of those ranges, and malformed sequences beside them, must fold
// as Qt folds them.
TEST(TextFold, OwnFoldingOfCjkAndFullWidthTextAgreesWithQt) {
    auto utf8Of = [](char32_t cp) {
        QString s;
        s.append(QString::fromUcs4(&cp, 1));
        return s.toStdString();
    };
    for (char32_t cp = 0x2F00; cp <= 0xFFFD; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string text = "A" + utf8Of(cp) + "b";
        ASSERT_EQ(foldText(std::string_view(text)), foldText(QString::fromStdString(text))) << std::hex << cp;
    }
    const std::string tricky[] = {"\xE4\xB8", "\xE4\xB8\xAD\xE6", "\xE4\x41\xAD", "\xED\xA0\x80",
                                  "\xEF\xBC\xA1\xC3\x89"};
    for (const std::string &t : tricky)
        EXPECT_EQ(foldText(std::string_view(t)), foldText(QString::fromUtf8(t.data(), static_cast<int>(t.size()))));
}
