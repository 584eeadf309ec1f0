// SPDX-License-Identifier: Apache-2.0
// Every case of the published test tables of an independent formatter (see
// tests/fixtures/numfmt-reference/SOURCE.md) run through the renderer. Where
// that formatter is known to answer differently from the spreadsheet
// application, the application's answer is kept in an override below.
#include "automation/model/WorkbookModel.h"
#include "automation/native/DisplayText.h"
#include "automation/numfmt/NumberFormat.h"

#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace automation::numfmt;

namespace {

const QString kReferenceDir = QStringLiteral(NUMFMT_REFERENCE_DIR);
constexpr const char *kUnshowable = "########";

struct Case {
    std::string table;
    std::string code;
    double number = 0.0;
    std::optional<std::string> text;  // a text value instead of a number
    std::string expected;
    bool date1904 = false;
    std::optional<bool> logical;  // a logical value instead of a number
};

// The application's answer where the tables record the other formatter's.
struct Override {
    const char *table;
    const char *code;
    double value;
    const char *shown;
    const char *why;
};

const Override kOverrides[] = {
    // The application shows the fraction closest to the value that the
    // denominator's placeholders allow; the other formatter stops at its last
    // continued-fraction convergent, which is often farther off.
    {"implied.json", "# ?/?", 12345678.9, "12345678 8/9", "8/9 is 0.011 off, 1/1 is 0.1 off"},
    {"implied.json", "# ?\?/??", 1234567.89, "1234567 81/91", "81/91 is 0.00011 off, 8/9 0.0011"},
    {"implied.json", "# ?\?/??", 123456.789, "123456 71/90", "71/90 is 0.00011 off, 15/19 0.00047"},
    {"implied.json", "# ?/?", 123.456789, "123 4/9", "4/9 is 0.012 off, 1/2 0.043"},
    {"implied.json", "# ?/?", 1.23456789, "1 2/9", "2/9 is 0.012 off, 1/4 0.015"},
    {"fraction.json", "# ?/?", 12.3, "12 2/7", "2/7 is 0.014 off, 1/3 0.033 (0.3 itself shows 2/7 in the same table)"},
    {"fraction.json", "# ?/?", 1.3, "1 2/7", "2/7 is 0.014 off, 1/3 0.033"},
    {"fraction.json", "# ?/?", -123.456, "-123 4/9", "4/9 is 0.012 off, 1/2 0.044"},
    {"fraction.json", "# ?\?/??", -123.456, "-123 31/68", "31/68 is 0.00012 off, 26/57 0.00014"},
    {"fraction.json", "# ??\?/???", 1234.567, "1234 512/903", "512/903 is 0.000001 off, 55/97 0.00001"},
    {"fraction.json", "?\?/??", -123.456, "-8395/68", "8395/68 is 0.00012 off, 7037/57 0.00014"},
    // The two numerator placeholders take all six digits; only the written
    // space stands before them (the other formatter adds a second).
    {"fraction.json", "# ?\?/?????????", 0.123251512342345, " 480894/3901729", "one literal space"},
    {"fraction.json", "# ?? / ?????????", 0.123251512342345, " 480894 / 3901729", "one literal space"},
    // A code of one section prints the minus sign of a negative number before
    // whatever it writes, text included (the application's documented
    // behaviour; the same table has -1 under "r" as "-r").
    {"oddities.json", "A\"TODO\"", -1, "-ATODO", "one section: the minus sign leads"},
    {"oddities.json", "\\r", -1, "-r", "one section: the minus sign leads"},
    // A first section whose condition only negative numbers meet shows the
    // magnitude, as the table itself has -26 under [<-25] as 26; General shows
    // it in full.
    {"oddities.json", "[Red][<-25]General;[Blue][>25]General;[Green]General;[Yellow]General", -50.1, "50.1",
     "General does not round 50.1 to 50"},
    {"oddities.json", "[Red][<=-25]General;[Blue][>=25]General;[Green]General;[Yellow]General", -25, "25",
     "[<=-25] admits negatives only: the sign is dropped, as for -26 under [<-25]"},
    {"oddities.json", "[Red][<=-25]General;[Blue][>=25]General;[Green]General;[Yellow]General", -26.1, "26.1",
     "General does not round 26.1 to 26"},
    // The negative section shows the magnitude whatever it holds, General too
    // ("0;0" shows -1.1 as 1 in the same table).
    {"oddities.json", "[Red]General ;[Blue]General\\ ;[Green]Generalp;[Yellow]General'", -25, "25 ",
     "the second section takes the magnitude"},
};

struct TextOverride {
    const char *table;
    const char *code;
    const char *text;
    const char *shown;
    const char *why;
};

const TextOverride kTextOverrides[] = {
    // The text section applies to every text, the empty one too: its
    // spacing stays (the other formatter returns the empty text as it is).
    {"oddities.json", "_($* #,##0_);_($* (#,##0);_($* \"-\"_);_(@_)", "", "  ", "_( and _) each leave a space"},
};

const char *findOverride(const Case &c) {
    if (c.logical) return nullptr;
    if (c.text) {
        for (const TextOverride &o : kTextOverrides) {
            if (c.table == o.table && c.code == o.code && *c.text == o.text) return o.shown;
        }
        return nullptr;
    }
    for (const Override &o : kOverrides) {
        if (c.table == o.table && c.code == o.code && c.number == o.value) return o.shown;
    }
    return nullptr;
}

// The application fills a cell with # when a date or time code meets a
// number that is no date (negative, or past 9999-12-31); the other formatter
// returns an empty text there.
bool isUnshowableDate(const Case &c) {
    if (c.text || c.logical || !c.expected.empty() || !isDateFormat(c.code)) return false;
    return c.number < 0 || c.number >= 2958466.0;
}

std::string render(const Case &c) {
    // Logical cells never reach the number formatter: the cell layer shows them.
    if (c.logical)
        return automation::native::displayText(automation::model::WorkbookModel(),
                                               automation::model::Cell::makeBoolean(1, *c.logical));
    if (c.text) return formatText(*c.text, c.code);
    return formatNumber(c.number, c.code, c.date1904);
}

std::string describe(const Case &c) {
    std::ostringstream out;
    out.precision(17);
    out << c.table << ": value ";
    if (c.logical)
        out << (*c.logical ? "true" : "false");
    else if (c.text)
        out << '"' << *c.text << '"';
    else
        out << c.number;
    out << " code [" << c.code << "]";
    if (c.date1904) out << " (1904)";
    return out.str();
}

struct Tally {
    int total = 0;
    int passed = 0;
    int overridden = 0;
    std::string failures;
};

Tally runCases(const std::vector<Case> &cases) {
    Tally tally;
    for (const Case &c : cases) {
        ++tally.total;
        std::string expected = c.expected;
        if (const char *shown = findOverride(c)) {
            expected = shown;
            ++tally.overridden;
        } else if (isUnshowableDate(c)) {
            expected = kUnshowable;
            ++tally.overridden;
        }
        const std::string got = render(c);
        if (got == expected)
            ++tally.passed;
        else
            tally.failures += describe(c) + " expected [" + expected + "] got [" + got + "]\n";
    }
    return tally;
}

void check(const char *table, const std::vector<Case> &cases) {
    ASSERT_FALSE(cases.empty()) << table << " read no cases";
    const Tally tally = runCases(cases);
    std::cout << table << ": " << tally.passed << " of " << tally.total << " cases agree (" << tally.overridden
              << " with the application's answer overriding the table's)\n";
    EXPECT_EQ(tally.passed, tally.total) << tally.failures;
}

QByteArray readFixture(const char *name) {
    QFile file(kReferenceDir + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QJsonArray readJsonArray(const char *name) { return QJsonDocument::fromJson(readFixture(name)).array(); }

// A JSON value as a case's value: a number, or a text.
void setValue(Case &c, const QJsonValue &value) {
    if (value.isString())
        c.text = value.toString().toStdString();
    else if (value.isBool())
        c.logical = value.toBool();
    else
        c.number = value.toDouble();
}

// The format codes the other formatter's built-in ids stand for: the en-US
// ones of the file format (this project's own built-ins are the zh-CN ones).
std::string referenceBuiltinCode(int id) {
    switch (id) {
        case 14:
            return "m/d/yy";
        case 22:
            return "m/d/yy h:mm";
        case 47:
            return "mmss.0";
        default:
            return builtinFormatCode(id);
    }
}

// [value, id, text] rows, or [value, [[id, text]...]].
std::vector<Case> readIdTable(const char *table) {
    std::vector<Case> cases;
    for (const QJsonValue &rowValue : readJsonArray(table)) {
        const QJsonArray row = rowValue.toArray();
        if (row.size() == 3) {
            Case c{table,        referenceBuiltinCode(row[1].toInt()), 0.0,
                   std::nullopt, row[2].toString().toStdString(),      false,
                   std::nullopt};
            setValue(c, row[0]);
            cases.push_back(c);
        } else if (row.size() == 2) {
            for (const QJsonValue &pairValue : row[1].toArray()) {
                const QJsonArray pair = pairValue.toArray();
                Case c{table,        referenceBuiltinCode(pair[0].toInt()), 0.0,
                       std::nullopt, pair[1].toString().toStdString(),      false,
                       std::nullopt};
                setValue(c, row[0]);
                cases.push_back(c);
            }
        }
    }
    return cases;
}

// [format, [value, text(, mark)]...]; a pair with a value only carries no
// expectation.
std::vector<Case> readFormatRows(const char *table) {
    std::vector<Case> cases;
    for (const QJsonValue &rowValue : readJsonArray(table)) {
        const QJsonArray row = rowValue.toArray();
        if (row.isEmpty()) continue;
        // A number in place of a code is a built-in id.
        const std::string code =
            row[0].isString() ? row[0].toString().toStdString() : builtinFormatCode(row[0].toInt());
        for (int k = 1; k < row.size(); ++k) {
            const QJsonArray pair = row[k].toArray();
            if (pair.size() < 2) continue;
            Case c{table, code, 0.0, std::nullopt, pair[1].toString().toStdString(), false, std::nullopt};
            setValue(c, pair[0]);
            cases.push_back(c);
        }
    }
    return cases;
}

// [value, format, text] rows.
std::vector<Case> readValueCodeText(const char *table) {
    std::vector<Case> cases;
    for (const QJsonValue &rowValue : readJsonArray(table)) {
        const QJsonArray row = rowValue.toArray();
        if (row.size() < 3) continue;
        Case c{table,       row[1].toString().toStdString(), 0.0, std::nullopt, row[2].toString().toStdString(), false,
               std::nullopt};
        setValue(c, row[0]);
        cases.push_back(c);
    }
    return cases;
}

// A value column, then one column per format; "|" flags a cell without
// changing its text.
std::vector<Case> readTsv(const char *table) {
    std::vector<Case> cases;
    const QStringList lines = QString::fromUtf8(readFixture(table)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty()) return cases;
    const QStringList header = lines[0].split(QLatin1Char('\t'));
    for (int l = 1; l < lines.size(); ++l) {
        const QStringList cells = lines[l].split(QLatin1Char('\t'));
        bool ok = false;
        const double value = cells[0].toDouble(&ok);
        if (!ok) continue;
        for (int k = 1; k < cells.size() && k < header.size(); ++k) {
            QString expected = cells[k].trimmed();
            expected.remove(QLatin1Char('|'));
            cases.push_back(Case{table, header[k].trimmed().toStdString(), value, std::nullopt, expected.toStdString(),
                                 false, std::nullopt});
        }
    }
    return cases;
}

// ["new Date(y,m,d)", "yyyy-mm-dd hh:mm:ss", date1904]: months count from 0.
std::vector<Case> readDates(const char *table) {
    static const QRegularExpression datePattern(QStringLiteral(R"(new Date\((\d+),(\d+),(\d+)\))"));
    std::vector<Case> cases;
    for (const QJsonValue &rowValue : readJsonArray(table)) {
        const QJsonArray row = rowValue.toArray();
        const QRegularExpressionMatch match = datePattern.match(row[0].toString());
        if (!match.hasMatch()) continue;
        const QDate date(match.captured(1).toInt(), match.captured(2).toInt() + 1, match.captured(3).toInt());
        const bool date1904 = row[2].toBool();
        // The 1900 system counts a 29 February 1900 that never was.
        qint64 serial = 0;
        if (date1904)
            serial = QDate(1904, 1, 1).daysTo(date);
        else if (date < QDate(1900, 3, 1))
            serial = QDate(1899, 12, 31).daysTo(date);
        else
            serial = QDate(1899, 12, 30).daysTo(date);
        cases.push_back(Case{table, "yyyy-mm-dd hh:mm:ss", static_cast<double>(serial), std::nullopt,
                             row[1].toString().toStdString(), date1904, std::nullopt});
    }
    return cases;
}

bool isWellFormedUtf8(const std::string &text) {
    return QString::fromUtf8(text.data(), static_cast<int>(text.size())).toUtf8() ==
           QByteArray(text.data(), static_cast<int>(text.size()));
}

TEST(ReferenceTables, General) { check("general.json", readIdTable("general.json")); }

TEST(ReferenceTables, BuiltinIds) { check("implied.json", readIdTable("implied.json")); }

TEST(ReferenceTables, Fractions) { check("fraction.json", readValueCodeText("fraction.json")); }

TEST(ReferenceTables, Oddities) { check("oddities.json", readFormatRows("oddities.json")); }

TEST(ReferenceTables, Negatives) { check("negative.json", readFormatRows("negative.json")); }

TEST(ReferenceTables, Exponents) { check("exp.tsv", readTsv("exp.tsv")); }

TEST(ReferenceTables, ThousandsAndScaling) { check("comma.tsv", readTsv("comma.tsv")); }

TEST(ReferenceTables, Dates) { check("date.json", readDates("date.json")); }

// An override that meets no case, or agrees with the table anyway, would hide
// nothing but mislead the reader.
TEST(ReferenceTables, EveryOverrideReplacesARealCaseWithADifferentAnswer) {
    std::vector<Case> all;
    for (const std::vector<Case> &table :
         {readIdTable("implied.json"), readValueCodeText("fraction.json"), readFormatRows("oddities.json")})
        all.insert(all.end(), table.begin(), table.end());
    for (const Override &o : kOverrides) {
        int met = 0;
        for (const Case &c : all) {
            if (!c.text && c.table == o.table && c.code == o.code && c.number == o.value) {
                ++met;
                EXPECT_NE(c.expected, o.shown) << o.table << " [" << o.code << "] " << o.value;
            }
        }
        EXPECT_EQ(met, 1) << o.table << " [" << o.code << "] " << o.value;
    }
    for (const TextOverride &o : kTextOverrides) {
        int met = 0;
        for (const Case &c : all) {
            if (c.text && c.table == o.table && c.code == o.code && *c.text == o.text) {
                ++met;
                EXPECT_NE(c.expected, o.shown) << o.table << " [" << o.code << "]";
            }
        }
        EXPECT_EQ(met, 1) << o.table << " [" << o.code << "] \"" << o.text << '"';
    }
}

TEST(ReferenceTables, EveryValidCodeRendersEveryKindOfValue) {
    const QStringList codes = QString::fromUtf8(readFixture("valid.tsv")).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_GT(codes.size(), 400);
    int rendered = 0;
    for (const QString &line : codes) {
        const std::string code = line.toStdString();
        for (double value : {0.0, 1.0, -2.0, 3.45, -67.89}) {
            std::string shown;
            ASSERT_NO_THROW(shown = formatNumber(value, code)) << code;
            EXPECT_TRUE(isWellFormedUtf8(shown)) << code << " " << value;
            // Zero and one are dates and times too, and every code here has a section for them.
            if (value == 0.0 || value == 1.0) {
                EXPECT_NE(shown, kUnshowable) << code << " " << value;
            }
            ++rendered;
        }
        std::string text;
        ASSERT_NO_THROW(text = formatText("foo", code)) << code;
        EXPECT_TRUE(isWellFormedUtf8(text)) << code;
    }
    std::cout << "valid.tsv: " << codes.size() << " codes rendered " << rendered << " numbers\n";
}

}  // namespace
