// SPDX-License-Identifier: Apache-2.0
// The schema check must tell a sound part from a broken one, or every writer
// test that relies on it proves nothing.
#include "SchemaValidation.h"

#include <gtest/gtest.h>

namespace {

const std::string kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const std::string kSheetOpen = "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">";

TEST(SchemaValidation, SoundPartsPassAndPreservedSpaceIsAccepted) {
    EXPECT_EQ(schemacheck::joined(schemacheck::partProblems(
                  "xl/worksheets/sheet1.xml",
                  kHead + kSheetOpen +
                      "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> a "
                      "</t></is></c><c r=\"B1\"><v>1.5</v></c></row></sheetData></worksheet>")),
              "");
    EXPECT_TRUE(schemacheck::partProblems(
                    "_rels/.rels", kHead + "<Relationships "
                                           "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                           "<Relationship Id=\"rId1\" Type=\"t\" Target=\"x.xml\"/>"
                                           "</Relationships>")
                    .empty());
}

TEST(SchemaValidation, BrokenPartsAreReported) {
    // Elements out of the order the schema gives.
    EXPECT_FALSE(
        schemacheck::partProblems("xl/worksheets/sheet1.xml", kHead + kSheetOpen +
                                                                  "<sheetData/><cols><col min=\"1\" max=\"1\"/></cols>"
                                                                  "</worksheet>")
            .empty());
    // A character XML 1.0 does not allow.
    EXPECT_FALSE(schemacheck::partProblems("xl/sharedStrings.xml",
                                           kHead + "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/"
                                                   "main\"><si><t>a\xEF\xBF\xBF</t></si></sst>")
                     .empty());
    // An attribute value outside its type.
    EXPECT_FALSE(schemacheck::partProblems(
                     "xl/styles.xml", kHead + "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/"
                                              "2006/main\"><cellXfs count=\"1\"><xf numFmtId=\"-1\"/></cellXfs>"
                                              "</styleSheet>")
                     .empty());
    EXPECT_FALSE(schemacheck::partProblems("docProps/unknown.xml", kHead + "<a/>").empty());
    EXPECT_FALSE(schemacheck::packageProblems("/nonexistent/file.xlsx").empty());
}

}  // namespace
