// SPDX-License-Identifier: Apache-2.0
#include "engine/RecordingAutomation.h"

#include <algorithm>
#include <stdexcept>

namespace fake {

namespace {

constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;

class Range : public automation::Range {
public:
    Range(std::shared_ptr<World> world, std::shared_ptr<Sheet> sheet, int r1, int c1, int r2, int c2)
        : world_(std::move(world)), sheet_(std::move(sheet)), r1_(r1), c1_(c1), r2_(r2), c2_(c2) {}

    int row() const override { return r1_; }
    int column() const override { return c1_; }
    long long count() const override { return rowCount() * columnCount(); }
    long long rowCount() const override { return r2_ - r1_ + 1; }
    long long columnCount() const override { return c2_ - c1_ + 1; }

    std::unique_ptr<automation::Range> find(const QString &what, const Range *after, int lookIn, int lookAt) {
        world_->calls << QStringLiteral("find:") + what;
        if (lookIn != automation::kLookInValues) return nullptr;
        std::vector<CellKey> hits;
        for (const auto &[key, text] : sheet_->cells) {
            if (!inside(key) || text.isEmpty()) continue;
            const bool match = lookAt == automation::kLookAtWhole ? text.compare(what, Qt::CaseInsensitive) == 0
                                                                  : text.contains(what, Qt::CaseInsensitive);
            if (match) hits.push_back(key);
        }
        if (hits.empty()) return nullptr;
        const CellKey start = after ? CellKey{after->row(), after->column()} : CellKey{r1_, c1_};
        auto next = std::find_if(hits.begin(), hits.end(), [&](const CellKey &k) { return k > start; });
        const CellKey hit = next != hits.end() ? *next : hits.front();
        return std::make_unique<Range>(world_, sheet_, hit.first, hit.second, hit.first, hit.second);
    }
    std::unique_ptr<automation::Range> find(const QString &what, const automation::Range *after, int lookIn,
                                            int lookAt) override {
        return find(what, dynamic_cast<const Range *>(after), lookIn, lookAt);
    }

    bool copy(const automation::Range &destination) override {
        world_->calls << QStringLiteral("copy");
        const auto *dest = dynamic_cast<const Range *>(&destination);
        if (!dest) return false;
        std::vector<std::pair<CellKey, QString>> moved;
        for (const auto &[key, text] : sheet_->cells) {
            if (inside(key)) moved.push_back({{dest->r1_ + key.first - r1_, dest->c1_ + key.second - c1_}, text});
        }
        if (c2_ == kMaxColumn) {  // a whole row replaces the whole destination row
            for (auto it = dest->sheet_->cells.begin(); it != dest->sheet_->cells.end();) {
                it = it->first.first == dest->r1_ ? dest->sheet_->cells.erase(it) : std::next(it);
            }
        }
        for (const auto &[key, text] : moved) dest->sheet_->cells[key] = text;
        return true;
    }

    QString value() const override {
        auto it = sheet_->cells.find({r1_, c1_});
        return it == sheet_->cells.end() ? QString() : it->second;
    }

    bool clear() override {
        world_->calls << QStringLiteral("clear");
        for (auto it = sheet_->cells.begin(); it != sheet_->cells.end();)
            it = inside(it->first) ? sheet_->cells.erase(it) : std::next(it);
        return true;
    }

private:
    bool inside(const CellKey &k) const {
        return k.first >= r1_ && k.first <= r2_ && k.second >= c1_ && k.second <= c2_;
    }

    std::shared_ptr<World> world_;
    std::shared_ptr<Sheet> sheet_;
    int r1_, c1_, r2_, c2_;
};

class Worksheet : public automation::Worksheet {
public:
    Worksheet(std::shared_ptr<World> world, std::shared_ptr<Book> book, std::shared_ptr<Sheet> sheet)
        : world_(std::move(world)), book_(std::move(book)), sheet_(std::move(sheet)) {}

    QString name() const override { return sheet_->name; }
    std::unique_ptr<automation::Range> usedRange() override {
        if (sheet_->chart) return nullptr;
        if (sheet_->cells.empty()) return range(1, 1, 1, 1);
        int r1 = kMaxRow, c1 = kMaxColumn, r2 = 1, c2 = 1;
        for (const auto &entry : sheet_->cells) {
            r1 = std::min(r1, entry.first.first);
            r2 = std::max(r2, entry.first.first);
            c1 = std::min(c1, entry.first.second);
            c2 = std::max(c2, entry.first.second);
        }
        return range(r1, c1, r2, c2);
    }
    std::unique_ptr<automation::Range> cells(int row, int column) override { return range(row, column, row, column); }
    std::unique_ptr<automation::Range> rows(int row) override { return range(row, 1, row, kMaxColumn); }
    std::unique_ptr<automation::Range> columns(int column) override {
        if (column < 1) return nullptr;
        return range(1, column, kMaxRow, column);
    }
    bool remove() override {
        world_->calls << QStringLiteral("deleteSheet");
        auto &list = book_->sheets;
        list.erase(std::remove(list.begin(), list.end(), sheet_), list.end());
        return true;
    }

private:
    std::unique_ptr<automation::Range> range(int r1, int c1, int r2, int c2) {
        return std::make_unique<Range>(world_, sheet_, r1, c1, r2, c2);
    }
    std::shared_ptr<World> world_;
    std::shared_ptr<Book> book_;
    std::shared_ptr<Sheet> sheet_;
};

class Sheets : public automation::Sheets {
public:
    Sheets(std::shared_ptr<World> world, std::shared_ptr<Book> book)
        : world_(std::move(world)), book_(std::move(book)) {}

    int count() const override { return static_cast<int>(book_->sheets.size()); }
    std::unique_ptr<automation::Worksheet> item(int index) override {
        if (index < 1 || index > count()) return nullptr;
        return std::make_unique<Worksheet>(world_, book_, book_->sheets[index - 1]);
    }
    std::unique_ptr<automation::Worksheet> add(const automation::Worksheet &before) override {
        world_->calls << QStringLiteral("addSheet");
        auto &list = book_->sheets;
        auto at = std::find_if(list.begin(), list.end(),
                               [&](const std::shared_ptr<Sheet> &s) { return s->name == before.name(); });
        auto sheet = std::make_shared<Sheet>();
        sheet->name = QStringLiteral("Scratch");
        list.insert(at, sheet);
        return std::make_unique<Worksheet>(world_, book_, sheet);
    }

private:
    std::shared_ptr<World> world_;
    std::shared_ptr<Book> book_;
};

class Workbook : public automation::Workbook {
public:
    Workbook(std::shared_ptr<World> world, std::shared_ptr<Book> book)
        : world_(std::move(world)), book_(std::move(book)) {}

    std::unique_ptr<automation::Sheets> sheets() override { return std::make_unique<Sheets>(world_, book_); }
    automation::WriteResult saveAs(const QString &path) override { return save(path, false); }
    automation::WriteResult saveAs(const QString &path, int fileFormat) override {
        return save(path, fileFormat == automation::kFileFormatCsv);
    }
    void close(bool saveChanges) override {
        world_->calls << (saveChanges ? QStringLiteral("close:save") : QStringLiteral("close"));
    }

private:
    automation::WriteResult save(const QString &path, bool csv) {
        world_->calls << (csv ? QStringLiteral("saveAsCsv:") : QStringLiteral("saveAs:")) + path;
        if (world_->failingSaves.contains(path)) return automation::WriteResult::failed("refused");
        world_->saved[path] = SavedFile{book_->deepCopy(), csv};
        return automation::WriteResult::done();
    }
    std::shared_ptr<World> world_;
    std::shared_ptr<Book> book_;
};

class Workbooks : public automation::Workbooks {
public:
    explicit Workbooks(std::shared_ptr<World> world) : world_(std::move(world)) {}

    bool add() override {
        world_->calls << QStringLiteral("add");
        world_->active = std::make_shared<Book>();
        world_->active->sheets.push_back(makeSheet(QStringLiteral("Sheet1"), {}));
        return true;
    }
    automation::OpenResult openWorkbook(const QString &path) override {
        world_->calls << QStringLiteral("open:") + path;
        if (world_->throwingOpens.contains(path)) throw std::runtime_error("the double was told to fail here");
        auto it = world_->files.find(path);
        if (it == world_->files.end())
            return {nullptr, world_->openFailures.value(path, automation::ReadStatus::Unreadable)};
        return {std::make_unique<Workbook>(world_, std::make_shared<Book>(it->deepCopy())), automation::ReadStatus::Ok};
    }

private:
    std::shared_ptr<World> world_;
};

class Application : public automation::Application {
public:
    explicit Application(std::shared_ptr<World> world) : world_(std::move(world)), workbooks_(world_) {}

    void setVisible(const QString &visible) override { world_->calls << QStringLiteral("setVisible:") + visible; }
    void setDisplayAlerts(bool on) override {
        world_->calls << (on ? QStringLiteral("alerts:on") : QStringLiteral("alerts:off"));
    }
    automation::Workbooks *workbooks() override {
        world_->calls << QStringLiteral("workbooks");
        return world_->noWorkbooks ? nullptr : &workbooks_;
    }
    std::unique_ptr<automation::Workbook> activeWorkbook() override {
        world_->calls << QStringLiteral("active");
        if (!world_->active) return nullptr;
        return std::make_unique<Workbook>(world_, world_->active);
    }
    void quit() override { world_->calls << QStringLiteral("quit"); }
    ~Application() override { world_->calls << QStringLiteral("deleted"); }

private:
    std::shared_ptr<World> world_;
    Workbooks workbooks_;
};

}  // namespace

Book Book::deepCopy() const {
    Book copy;
    for (const auto &sheet : sheets) copy.sheets.push_back(std::make_shared<Sheet>(*sheet));
    return copy;
}

std::shared_ptr<Sheet> makeSheet(const QString &name, const std::vector<QStringList> &rows) {
    auto sheet = std::make_shared<Sheet>();
    sheet->name = name;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            if (!rows[r][c].isEmpty()) sheet->cells[{static_cast<int>(r) + 1, c + 1}] = rows[r][c];
        }
    }
    return sheet;
}

int World::countCallsStartingWith(const QString &prefix) const {
    int n = 0;
    for (const QString &call : calls) n += call.startsWith(prefix) ? 1 : 0;
    return n;
}

void installFactory(const std::shared_ptr<World> &world) {
    automation::setApplicationFactory([world](const QString &className) -> std::unique_ptr<automation::Application> {
        world->calls << QStringLiteral("create:") + className;
        return std::make_unique<Application>(world);
    });
}

void restoreFactory() { automation::setApplicationFactory(nullptr); }

std::vector<QStringList> rowsOf(const Sheet &sheet) {
    int lastRow = 0, lastColumn = 0;
    for (const auto &entry : sheet.cells) {
        lastRow = std::max(lastRow, entry.first.first);
        lastColumn = std::max(lastColumn, entry.first.second);
    }
    std::vector<QStringList> rows(lastRow, QStringList());
    for (auto &row : rows) {
        for (int c = 0; c < lastColumn; ++c) row << QString();
    }
    for (const auto &[key, text] : sheet.cells) rows[key.first - 1][key.second - 1] = text;
    return rows;
}

}  // namespace fake
