// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "settings/SettingsFile.h"

using namespace settings;
namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "rsf_settings_XXXXXX").string();
        ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
        folder = pattern;
        file = (folder / "RowSifter.rsf").string();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }

    void writeBytes(const std::string &bytes) const {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::string readBytes() const {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        return names;
    }
    // What the window gets for key at the next start.
    std::string valueAtNextStart(const char *key) const {
        static char text[kSettingsTextSize];
        static char value[kValueBufferSize];
        std::memset(text, 0, sizeof text);
        if (readFileText(text, file.c_str()) != 0) return "<unreadable>";
        getKeyValue(value, text, key);
        return value;
    }

    fs::path folder;
    std::string file;
};

// ---- reading the file -------------------------------------------------------

TEST_F(SettingsFileTest, ReadKeepsEveryByteAndLineEnd) {
    const std::string content = "SavePath=D:\\\xb5\xbc\xb3\xf6\\\r\nxlWhole=y\nrest\r";
    writeBytes(content);
    char buffer[kSettingsTextSize];
    ASSERT_EQ(readFileText(buffer, file.c_str()), 0);
    EXPECT_EQ(std::string(buffer), content);
}

TEST_F(SettingsFileTest, MissingFileLeavesBufferUntouched) {
    char buffer[16] = "untouched";
    EXPECT_EQ(readFileText(buffer, file.c_str(), sizeof buffer), -1);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(readFileText(buffer, folder.string().c_str(), sizeof buffer), -1) << "a folder is no settings file";
    EXPECT_EQ(readFileText(buffer, nullptr, sizeof buffer), -1);
}

TEST_F(SettingsFileTest, FileThatDoesNotFitWithItsNulIsRefused) {
    static char buffer[kSettingsTextSize];
    writeBytes(std::string(kSettingsTextSize - 1, 'a'));
    ASSERT_EQ(readFileText(buffer, file.c_str()), 0);
    EXPECT_EQ(std::strlen(buffer), kSettingsTextSize - 1);

    std::strcpy(buffer, "untouched");
    writeBytes(std::string(kSettingsTextSize, 'a'));
    EXPECT_EQ(readFileText(buffer, file.c_str()), -1);
    EXPECT_STREQ(buffer, "untouched");
}

// ---- looking a key up -------------------------------------------------------

struct LookupCase {
    const char *name;
    const char *text;
    const char *key;
    const char *expected;
};

class Lookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(Lookup, FindsTheValueTheFileRulesGive) {
    const LookupCase &c = GetParam();
    char out[kValueBufferSize];
    std::strcpy(out, "junk");
    getKeyValue(out, c.text, c.key);
    EXPECT_STREQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Lookup,
    ::testing::Values(LookupCase{"Plain", "SourcePath=C:\\in\\\r\nSavePath=C:\\out\\\r\n", "SavePath", "C:\\out\\"},
                      LookupCase{"FirstOfTwoWins", "xlWhole=y\r\nxlWhole=n\r\n", "xlWhole", "y"},
                      LookupCase{"FoundInsideAnotherKey", "XSavePath=inner\r\nSavePath=outer\r\n", "SavePath", "inner"},
                      LookupCase{"FoundInsideAValue", "SourcePath=a=b\r\na=c\r\n", "a", "b"},
                      LookupCase{"BlankBeforeEqualsHidesKey", "xlWhole =y\r\n", "xlWhole", ""},
                      LookupCase{"BlanksAroundValueDropped", "xlWhole= \t y \t\r\n", "xlWhole", "y"},
                      LookupCase{"KeyCaseMatters", "XLWHOLE=y\r\n", "xlWhole", ""},
                      LookupCase{"LastLineWithoutCrLf", "a=1\r\nxlWhole=y", "xlWhole", ""},
                      LookupCase{"LfOnlyRunsToNextCrLf", "a=1\nb=2\nc=3\r\n", "a", "1\nb=2\nc=3"},
                      LookupCase{"LfOnlyWithoutCrLf", "a=1\nb=2\n", "b", ""},
                      LookupCase{"LoneCrDoesNotEnd", "a=1\rb=2\r\n", "a", "1\rb=2"},
                      LookupCase{"EmptyValue", "a=\r\nb=2\r\n", "a", ""}, LookupCase{"Absent", "a=1\r\n", "b", ""},
                      LookupCase{"EmptyText", "", "a", ""},
                      LookupCase{"BlanksAroundWholeText", "  \tFindOneColNum=12\r\n \t", "FindOneColNum", "12"},
                      LookupCase{"CodePageBytesKept", "SavePath=D:\\\xb5\xbc\xb3\xf6\\\r\n", "SavePath",
                                 "D:\\\xb5\xbc\xb3\xf6\\"}),
    [](const ::testing::TestParamInfo<LookupCase> &caseInfo) { return std::string(caseInfo.param.name); });

TEST(LookupLimits, ValueThatDoesNotFitReadsAsAbsent) {
    char out[kValueBufferSize];
    const std::string fits = "SavePath=" + std::string(kValueBufferSize - 1, 'v') + "\r\n";
    getKeyValue(out, fits.c_str(), "SavePath");
    EXPECT_EQ(std::strlen(out), kValueBufferSize - 1);

    const std::string tooLong = "SavePath=" + std::string(kValueBufferSize, 'v') + "\r\n";
    std::strcpy(out, "junk");
    getKeyValue(out, tooLong.c_str(), "SavePath");
    EXPECT_STREQ(out, "");

    char small[4];
    getKeyValue(small, "a=123\r\n", "a", sizeof small);
    EXPECT_STREQ(small, "123");
    getKeyValue(small, "a=1234\r\n", "a", sizeof small);
    EXPECT_STREQ(small, "");
}

TEST(LookupLimits, BadArgumentsGiveEmptyValue) {
    char out[8] = "junk";
    getKeyValue(out, nullptr, "a");
    EXPECT_STREQ(out, "");
    std::strcpy(out, "junk");
    getKeyValue(out, "=1\r\n", "");
    EXPECT_STREQ(out, "");
    getKeyValue(nullptr, "a=1\r\n", "a");
}

// ---- writing a key ----------------------------------------------------------

struct WriteCase {
    const char *name;
    const char *before;
    const char *key;
    const char *value;
    const char *after;
};

class Write : public SettingsFileTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(Write, RewritesOnlyTheFirstMatchingLine) {
    const WriteCase &c = GetParam();
    writeBytes(c.before);
    ASSERT_EQ(setKeyValue(file.c_str(), c.key, c.value), 0);
    EXPECT_EQ(readBytes(), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Write,
    ::testing::Values(WriteCase{"ReplaceInTheMiddle", "a=1\r\nxlWhole=n\r\nb=2\r\n", "xlWhole", "y",
                                "a=1\r\nxlWhole=y\r\nb=2\r\n"},
                      WriteCase{"OnlyFirstDuplicate", "k=1\r\nk=2\r\n", "k", "3", "k=3\r\nk=2\r\n"},
                      WriteCase{"InsideAnotherLineKeepsItsPrefix", "XSavePath=old\r\nSavePath=keep\r\n", "SavePath",
                                "new", "XSavePath=new\r\nSavePath=keep\r\n"},
                      WriteCase{"LastLineWithoutCrLfGetsOne", "a=1\r\nk=old", "k", "new", "a=1\r\nk=new\r\n"},
                      WriteCase{"AppendAfterCrLf", "a=1\r\n", "k", "v", "a=1\r\nk=v\r\n"},
                      WriteCase{"AppendAfterLf", "a=1\n", "k", "v", "a=1\nk=v\r\n"},
                      WriteCase{"AppendAfterOtherByte", "a=1", "k", "v", "a=1\r\nk=v\r\n"},
                      WriteCase{"AppendAfterCr", "a=1\r", "k", "v", "a=1\r\r\nk=v\r\n"},
                      WriteCase{"AppendToEmptyFile", "", "k", "v", "k=v\r\n"},
                      WriteCase{"ValueWrittenUntrimmed", "a=1\r\n", "a", " 2 ", "a= 2 \r\n"},
                      WriteCase{"EmptyValue", "a=1\r\nb=2\r\n", "a", "", "a=\r\nb=2\r\n"},
                      WriteCase{"LfOnlyLineSwallowedToCrLf", "k=1\nb=2\r\nc=3\r\n", "k", "9", "k=9\r\nc=3\r\n"},
                      WriteCase{"OtherBytesKeptExactly", "p=\xb5\xbc\r\n\tjunk \r\r\nk=1\r\n", "k", "\xd7\xd6",
                                "p=\xb5\xbc\r\n\tjunk \r\r\nk=\xd7\xd6\r\n"}),
    [](const ::testing::TestParamInfo<WriteCase> &caseInfo) { return std::string(caseInfo.param.name); });

TEST_F(SettingsFileTest, MissingFileIsNeverCreated) {
    EXPECT_EQ(setKeyValue(file.c_str(), "xlWhole", "y"), -1);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(folderEntries().empty());
}

TEST_F(SettingsFileTest, WrittenValuesReadBackAtNextStart) {
    writeBytes("");
    ASSERT_EQ(setKeyValue(file.c_str(), "SourcePath", "C:\\in\\"), 0);
    ASSERT_EQ(setKeyValue(file.c_str(), "SavePath", "C:\\out\\\\"), 0);
    ASSERT_EQ(setKeyValue(file.c_str(), "SourcePath", "E:\\\xb5\xbc\\"), 0);
    EXPECT_EQ(valueAtNextStart("SourcePath"), "E:\\\xb5\xbc\\");
    EXPECT_EQ(valueAtNextStart("SavePath"), "C:\\out\\\\");
    EXPECT_EQ(readBytes(), "SourcePath=E:\\\xb5\xbc\\\r\nSavePath=C:\\out\\\\\r\n");
}

TEST_F(SettingsFileTest, UnsafeKeysAndValuesAreRefusedAndFileKept) {
    const std::string original = "a=1\r\nb=2\r\n";
    writeBytes(original);
    const std::string longest = std::string(kValueBufferSize - 1, 'v');
    const std::string tooLong = std::string(kValueBufferSize, 'v');
    struct Refusal {
        const char *key;
        const char *value;
    } refusals[] = {
        {"a", "x\r\nb=planted"}, {"a", tooLong.c_str()}, {"", "1"},      {"a=b", "1"},
        {"a\r\n", "1"},          {nullptr, "1"},         {"a", nullptr},
    };
    for (const Refusal &r : refusals) {
        EXPECT_EQ(setKeyValue(file.c_str(), r.key, r.value), -1);
        EXPECT_EQ(readBytes(), original);
    }
    EXPECT_EQ(setKeyValue(nullptr, "a", "1"), -1);
    ASSERT_EQ(setKeyValue(file.c_str(), "a", longest.c_str()), 0);
    EXPECT_EQ(valueAtNextStart("a"), longest);
    EXPECT_EQ(valueAtNextStart("b"), "2");
}

TEST_F(SettingsFileTest, WriteThatWouldMakeFileUnreadableIsRefused) {
    // Grown past the read buffer, every other option would be lost at the next start.
    const std::string filler = "f=" + std::string(kSettingsTextSize - 600, 'x') + "\r\n";
    const std::string value(1000, 'v');
    writeBytes(filler + "a=1\r\n");
    EXPECT_EQ(setKeyValue(file.c_str(), "b", value.c_str()), -1);
    EXPECT_EQ(readBytes(), filler + "a=1\r\n");
    EXPECT_EQ(valueAtNextStart("a"), "1");
    EXPECT_EQ(setKeyValue(file.c_str(), "a", "2"), 0);
    EXPECT_EQ(valueAtNextStart("a"), "2");
}

TEST_F(SettingsFileTest, WriteLeavesNoTemporaryFileAndKeepsPermissions) {
    writeBytes("a=1\r\n");
    ASSERT_EQ(chmod(file.c_str(), 0640), 0);
    ASSERT_EQ(setKeyValue(file.c_str(), "a", "2"), 0);
    EXPECT_EQ(folderEntries(), std::vector<std::string>{"RowSifter.rsf"});
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(SettingsFileTest, ReadOnlyFileIsLeftAsItWas) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    writeBytes("a=1\r\n");
    ASSERT_EQ(chmod(file.c_str(), 0444), 0);
    EXPECT_EQ(setKeyValue(file.c_str(), "a", "2"), -1);
    EXPECT_EQ(readBytes(), "a=1\r\n");
}

TEST_F(SettingsFileTest, FolderWithoutWriteRightStillTakesTheWriteInPlace) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    writeBytes("a=1\r\nb=2\r\n");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_EQ(setKeyValue(file.c_str(), "a", "22"), 0);
    EXPECT_EQ(setKeyValue(file.c_str(), "b", ""), 0);
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(readBytes(), "a=22\r\nb=\r\n");
}

TEST_F(SettingsFileTest, SymbolicLinkKeepsPointingAtTheRewrittenFile) {
    const std::string real = (folder / "real.rsf").string();
    { std::ofstream(real, std::ios::binary) << "a=1\r\n"; }
    fs::create_symlink(real, file);
    ASSERT_EQ(setKeyValue(file.c_str(), "a", "2"), 0);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(valueAtNextStart("a"), "2");
}

}  // namespace
