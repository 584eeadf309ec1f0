// SPDX-License-Identifier: Apache-2.0
// Deterministic workbook generator: a folder tree of source workbooks with
// mixed Chinese and ASCII text, 18-digit IDs stored as text, numbers, dates
// and a few formats. The same flags always give the same cell contents.
#include <xlsxwriter.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kMaxRowsPerSheet = 1048575;  // one row is the header
constexpr int kMaxColumns = 16384;
constexpr int kArchiveRows = 5;
constexpr time_t kFixedCreationTime = 1704067200;  // 2024-01-01 00:00 UTC

struct Settings {
    std::string out;
    int workbooks = 10;
    int rows = 100;
    int columns = 8;
    uint64_t seed = 1;
    bool csv = false;
    int subfolders = 2;
    std::string prefix = "book";
    bool amountFormulas = false;  // amounts as formulas on the quantity beside them, without stored results
};

// splitmix64: tiny, portable and the same on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

private:
    uint64_t state_;
};

const std::vector<std::string> kSurnames = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴"};
const std::vector<std::string> kGivenNames = {"伟", "芳", "娜", "敏", "静", "磊", "洋", "艳", "勇", "军", "杰", "丽"};
const std::vector<std::string> kCities = {"北京", "上海", "广州", "深圳", "杭州", "成都", "武汉", "南京"};
const std::vector<std::string> kProducts = {"苹果 Apple",  "梨 Pear",    "李子 Plum",  "香蕉 Banana",
                                            "橙子 Orange", "葡萄 Grape", "西瓜 Melon", "桃 Peach"};
const std::vector<std::string> kNotes = {"ok", "pending", "已付款", "待发货", "returned", "VIP客户", "", "urgent"};
const std::vector<std::string> kHeaders = {"编号 ID",  "姓名 Name",   "城市 City", "产品 Product",
                                           "数量 Qty", "金额 Amount", "日期 Date", "备注 Note"};

enum class Kind { Text, Number, Money, Date };

struct Value {
    Kind kind = Kind::Text;
    std::string text;
    double number = 0;
    int year = 2024, month = 1, day = 1;
};

std::string idNumber(Random &random) {
    std::string id = "11010";  // an area prefix, then digits up to 18
    id += std::to_string(1 + random.below(9));
    while (id.size() < 18) id += static_cast<char>('0' + random.below(10));
    return id;
}

Value cellValue(int column, Random &random) {
    Value v;
    switch (column % static_cast<int>(kHeaders.size())) {
        case 0:
            v.text = idNumber(random);
            break;
        case 1:
            v.text = kSurnames[random.below(kSurnames.size())] + kGivenNames[random.below(kGivenNames.size())];
            break;
        case 2:
            v.text = kCities[random.below(kCities.size())];
            break;
        case 3:
            v.text = kProducts[random.below(kProducts.size())];
            break;
        case 4:
            v.kind = Kind::Number;
            v.number = 1 + random.below(500);
            break;
        case 5:
            v.kind = Kind::Money;
            v.number = random.below(10000000) / 100.0;
            break;
        case 6:
            v.kind = Kind::Date;
            v.year = 2020 + random.below(5);
            v.month = 1 + random.below(12);
            v.day = 1 + random.below(28);
            break;
        default:
            v.text = kNotes[random.below(kNotes.size())];
            break;
    }
    return v;
}

std::string headerText(int column) {
    const int base = static_cast<int>(kHeaders.size());
    if (column < base) return kHeaders[column];
    return kHeaders[column % base] + " " + std::to_string(column / base + 1);
}

std::string csvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char ch : text) {
        if (ch == '"') quoted += '"';
        quoted += ch;
    }
    return quoted + "\"";
}

std::string valueText(const Value &v) {
    char buffer[32];
    switch (v.kind) {
        case Kind::Text:
            return v.text;
        case Kind::Number:
            std::snprintf(buffer, sizeof buffer, "%.0f", v.number);
            return buffer;
        case Kind::Money:
            std::snprintf(buffer, sizeof buffer, "%.2f", v.number);
            return buffer;
        case Kind::Date:
            std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", v.year, v.month, v.day);
            return buffer;
    }
    return {};
}

bool writeCsv(const fs::path &path, const Settings &s, Random &random) {
    std::ofstream out(path, std::ios::binary);
    if (!out) return false;
    out << "\xEF\xBB\xBF";
    for (int c = 0; c < s.columns; ++c) out << (c ? "," : "") << csvField(headerText(c));
    out << "\r\n";
    for (int r = 0; r < s.rows; ++r) {
        for (int c = 0; c < s.columns; ++c) out << (c ? "," : "") << csvField(valueText(cellValue(c, random)));
        out << "\r\n";
    }
    return static_cast<bool>(out);
}

struct Formats {
    lxw_format *header, *id, *money, *date;
};

std::string columnName(int column) {  // 0-based
    std::string name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
    return name;
}

// The amount as a formula on the quantity to its left, giving the same value:
// libxlsxwriter stores 0 for it and asks for a calculation on load.
void writeAmountFormula(lxw_worksheet *sheet, int r, int c, double amount, double quantity, lxw_format *format) {
    char formula[96];
    std::snprintf(formula, sizeof formula, "=%s%d+%.17g", columnName(c - 1).c_str(), r + 1, amount - quantity);
    worksheet_write_formula(sheet, r, c, formula, format);
}

void writeSheet(lxw_worksheet *sheet, const Formats &f, int rows, int columns, Random &random, bool amountFormulas) {
    for (int c = 0; c < columns; ++c) worksheet_write_string(sheet, 0, c, headerText(c).c_str(), f.header);
    worksheet_set_column(sheet, 0, 0, 22, nullptr);
    for (int r = 1; r <= rows; ++r) {
        double quantity = 0;
        for (int c = 0; c < columns; ++c) {
            const Value v = cellValue(c, random);
            switch (v.kind) {
                case Kind::Text:
                    if (!v.text.empty()) worksheet_write_string(sheet, r, c, v.text.c_str(), c == 0 ? f.id : nullptr);
                    break;
                case Kind::Number:
                    worksheet_write_number(sheet, r, c, v.number, nullptr);
                    quantity = v.number;
                    break;
                case Kind::Money:
                    if (amountFormulas && c > 0)
                        writeAmountFormula(sheet, r, c, v.number, quantity, f.money);
                    else
                        worksheet_write_number(sheet, r, c, v.number, f.money);
                    break;
                case Kind::Date: {
                    lxw_datetime when = {v.year, v.month, v.day, 0, 0, 0};
                    worksheet_write_datetime(sheet, r, c, &when, f.date);
                    break;
                }
            }
        }
    }
}

bool writeXlsx(const fs::path &path, const Settings &s, Random &random, bool withArchive) {
    lxw_workbook *book = workbook_new(path.string().c_str());
    if (!book) return false;
    // A fixed creation time keeps the same flags giving the same bytes.
    lxw_doc_properties properties{};
    properties.created = kFixedCreationTime;
    workbook_set_properties(book, &properties);

    Formats f{};
    f.header = workbook_add_format(book);
    format_set_bold(f.header);
    format_set_bg_color(f.header, 0xDDEBF7);
    format_set_border(f.header, LXW_BORDER_THIN);
    f.id = workbook_add_format(book);
    format_set_num_format(f.id, "@");
    f.money = workbook_add_format(book);
    format_set_num_format(f.money, "#,##0.00");
    f.date = workbook_add_format(book);
    format_set_num_format(f.date, "yyyy-mm-dd");

    writeSheet(workbook_add_worksheet(book, "Sheet1"), f, s.rows, s.columns, random, s.amountFormulas);
    if (withArchive)
        writeSheet(workbook_add_worksheet(book, "Archive"), f, kArchiveRows, s.columns, random, s.amountFormulas);
    return workbook_close(book) == LXW_NO_ERROR;
}

void usage() {
    std::fputs(
        "usage: generate_corpus --out DIR [--workbooks N] [--rows N] [--columns N] [--seed S]\n"
        "                       [--format xlsx|csv] [--subfolders K] [--prefix NAME] [--amounts values|formulas]\n"
        "Writes N workbooks (NAME_001 ...) into DIR and K subfolders of it (part_1 ...),\n"
        "each with a"
        " header row and N data rows; every second .xlsx also has a small sheet \"Archive\".\n"
        "--amounts formulas writes each amount as a formula on its quantity (same values,\n"
        "no stored results), to be calculated on opening.\n",
        stderr);
}

bool parseInt(const char *text, long long low, long long high, long long *out) {
    char *end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (!end || *end || v < low || v > high) return false;
    *out = v;
    return true;
}

bool parse(int argc, char **argv, Settings *s) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return false;
        const char *value = argv[++i];
        long long n = 0;
        if (flag == "--out")
            s->out = value;
        else if (flag == "--prefix" && *value && !std::strpbrk(value, "/\\"))
            s->prefix = value;
        else if (flag == "--amounts" && (std::string(value) == "values" || std::string(value) == "formulas"))
            s->amountFormulas = std::string(value) == "formulas";
        else if (flag == "--format" && (std::string(value) == "xlsx" || std::string(value) == "csv"))
            s->csv = std::string(value) == "csv";
        else if (flag == "--workbooks" && parseInt(value, 1, 100000, &n))
            s->workbooks = static_cast<int>(n);
        else if (flag == "--rows" && parseInt(value, 0, kMaxRowsPerSheet, &n))
            s->rows = static_cast<int>(n);
        else if (flag == "--columns" && parseInt(value, 1, kMaxColumns, &n))
            s->columns = static_cast<int>(n);
        else if (flag == "--seed" && parseInt(value, 0, INT64_MAX, &n))
            s->seed = static_cast<uint64_t>(n);
        else if (flag == "--subfolders" && parseInt(value, 0, 1000, &n))
            s->subfolders = static_cast<int>(n);
        else
            return false;
    }
    return !s->out.empty();
}

}  // namespace

int main(int argc, char **argv) {
    Settings settings;
    if (!parse(argc, argv, &settings)) {
        usage();
        return 2;
    }
    std::error_code error;
    for (int i = 0; i < settings.workbooks; ++i) {
        const int folderIndex = i % (settings.subfolders + 1);
        fs::path folder = settings.out;
        if (folderIndex > 0) folder /= "part_" + std::to_string(folderIndex);
        fs::create_directories(folder, error);
        char number[16];
        std::snprintf(number, sizeof number, "_%03d.", i + 1);
        const std::string name = settings.prefix + number + (settings.csv ? "csv" : "xlsx");
        // Each workbook has its own stream, so one file does not change when the count does.
        Random random(settings.seed * 1000003ULL + static_cast<uint64_t>(i));
        const bool ok = settings.csv ? writeCsv(folder / name, settings, random)
                                     : writeXlsx(folder / name, settings, random, i % 2 == 1);
        if (!ok) {
            std::fprintf(stderr, "generate_corpus: cannot write %s\n", (folder / name).string().c_str());
            return 1;
        }
    }
    std::printf("%d workbooks written to %s\n", settings.workbooks, settings.out.c_str());
    return 0;
}
