#include "services/LedgerSqlite.h"

#include <iterator>
#include <sqlite3.h>

#include "services/LedgerFile.h"

namespace kb {

namespace {

// Every writer waits this long for another (the window, a command, a colleague's run) to finish its
// transaction before its own write counts as failed.
constexpr int BusyMilliseconds = 15000;

constexpr const char* Schema = R"(
CREATE TABLE sheet(
    id INTEGER PRIMARY KEY,
    time TEXT NOT NULL,
    program TEXT NOT NULL,
    printer TEXT NOT NULL,
    job TEXT NOT NULL,
    run TEXT NOT NULL,
    sheet INTEGER NOT NULL,
    state TEXT NOT NULL CHECK (state IN ('queued', 'printed', 'failed', 'unknown')),
    detail TEXT NOT NULL DEFAULT '',
    ended TEXT
);
CREATE TABLE label(
    id INTEGER PRIMARY KEY,
    sheet_id INTEGER NOT NULL REFERENCES sheet(id),
    position INTEGER NOT NULL,
    line1 TEXT NOT NULL,
    line2 TEXT NOT NULL,
    stem TEXT NOT NULL,
    serial INTEGER,
    list_row INTEGER NOT NULL,
    code_kind TEXT NOT NULL DEFAULT '',
    code_text TEXT NOT NULL DEFAULT ''
);
CREATE INDEX label_series ON label(line1, stem, serial) WHERE serial IS NOT NULL;
CREATE INDEX label_sheet ON label(sheet_id, position);
CREATE INDEX sheet_waiting ON sheet(id) WHERE state = 'queued';
CREATE TABLE copy_state(
    id INTEGER PRIMARY KEY CHECK (id = 1),
    tail_label INTEGER NOT NULL,
    tail_offset INTEGER,
    size INTEGER NOT NULL,
    time INTEGER NOT NULL,
    file INTEGER NOT NULL
);
INSERT INTO copy_state VALUES (1, 0, NULL, -1, 0, 0);
)";

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            m_statement = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    explicit operator bool() const { return m_statement != nullptr; }

    Statement& bind(int i, std::string_view text) {
        sqlite3_bind_text(m_statement, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, std::int64_t value) {
        sqlite3_bind_int64(m_statement, i, value);
        return *this;
    }
    Statement& bind(int i, std::optional<std::int64_t> value) {
        if (value)
            return bind(i, *value);
        sqlite3_bind_null(m_statement, i);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error
    int step() { return m_statement ? sqlite3_step(m_statement) : SQLITE_ERROR; }
    bool run() {
        const int rc = step();
        sqlite3_reset(m_statement);
        return rc == SQLITE_DONE;
    }
    void reset() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    std::string text(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, i));
        return t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, i)))
                 : std::string();
    }
    std::int64_t integer(int i) const { return sqlite3_column_int64(m_statement, i); }
    bool isNull(int i) const { return sqlite3_column_type(m_statement, i) == SQLITE_NULL; }

  private:
    sqlite3_stmt* m_statement = nullptr;
};

std::int32_t int32(std::int64_t v) {
    return static_cast<std::int32_t>(v);
}

// A label's columns from `first` on: position, line1, line2, stem, serial, list_row, code_kind, code_text.
constexpr const char* LabelColumns =
    "l.position, l.line1, l.line2, l.stem, l.serial, l.list_row, l.code_kind, l.code_text";
LedgerLabel labelAt(const Statement& s, int first) {
    LedgerLabel l;
    l.position = int32(s.integer(first));
    l.line1 = s.text(first + 1);
    l.line2 = s.text(first + 2);
    l.stem = s.text(first + 3);
    if (!s.isNull(first + 4))
        l.serial = int32(s.integer(first + 4));
    l.row = int32(s.integer(first + 5));
    l.codeKind = s.text(first + 6);
    l.codeText = s.text(first + 7);
    return l;
}

// The ledger lies beside the start file itself (its links followed), as its hold file does. SQLite,
// asked not to follow links, refuses a path with a link anywhere in it, and the folders on the way
// are the user's choice; only the ledger's own names must not be links.
class SqliteLedger final : public Ledger {
  public:
    explicit SqliteLedger(const std::string& startFile)
        : m_startFile(ledgerfile::realPath(startFile)),
          m_path(ledgerfile::besideOf(m_startFile, "PrintLog.db")), m_journal(m_path + "-journal"),
          m_copy(ledgerfile::besideOf(m_startFile, "PrintLog.csv")) {
        open();
    }
    ~SqliteLedger() override { sqlite3_close_v2(m_db); }

    const std::string& problem() const override { return m_problem; }

    std::optional<std::int64_t> recordSheet(const SheetRecord& r) override {
        if (!begin())
            return std::nullopt;
        Statement sheet(m_db, "INSERT INTO sheet(time, program, printer, job, run, sheet, state) "
                              "VALUES (?, ?, ?, ?, ?, ?, 'queued')");
        sheet.bind(1, r.time)
            .bind(2, r.program)
            .bind(3, r.printer)
            .bind(4, r.job)
            .bind(5, r.run)
            .bind(6, std::int64_t{r.sheet});
        if (!sheet.run())
            return rollback(), std::nullopt;
        const std::int64_t id = sqlite3_last_insert_rowid(m_db);
        if (!insertLabels(id, r.labels) || !commit())
            return std::nullopt;
        return id;
    }

    bool setState(std::int64_t sheet, SheetState state, const std::string& detail,
                  const std::string& time) override {
        if (!begin())
            return false;
        Statement update(m_db, "UPDATE sheet SET state = ?, detail = ?, ended = ? WHERE id = ?");
        update.bind(1, sheetStateName(state)).bind(2, detail).bind(3, time).bind(4, sheet);
        // A sheet whose rows the copy already holds as settled: the copy is written afresh next time.
        Statement copy(m_db, "UPDATE copy_state SET tail_offset = NULL WHERE tail_label > "
                             "(SELECT min(id) FROM label WHERE sheet_id = ?)");
        copy.bind(1, sheet);
        if (!update.run() || !copy.run())
            return rollback();
        return commit();
    }

    // The keys go in stretches of one series with consecutive serial numbers (a typed run is one
    // stretch), each looked up as one range of the series index.
    std::optional<PrintedBefore> firstRepeat(const std::vector<SeriesKey>& keys) override {
        if (!m_db)
            return std::nullopt;
        Statement find(m_db, "SELECT s.time, s.printer, l.position, l.line1, l.line2, s.state, l.serial "
                             "FROM label l JOIN sheet s ON s.id = l.sheet_id "
                             "WHERE l.line1 = ? AND l.stem = ? AND l.serial BETWEEN ? AND ? "
                             "AND s.state <> 'failed' ORDER BY l.serial, l.id LIMIT 1");
        if (!find)
            return failed("repeat check"), std::nullopt;
        for (std::size_t i = 0, end = 0; i < keys.size(); i = end) {
            const SeriesKey& k = keys[i];
            for (end = i + 1; end < keys.size() && keys[end].serial == k.serial + std::int32_t(end - i) &&
                              keys[end].line1 == k.line1 && keys[end].stem == k.stem;
                 ++end) {
            }
            find.bind(1, k.line1).bind(2, k.stem).bind(3, std::int64_t{k.serial});
            find.bind(4, std::int64_t{keys[end - 1].serial});
            const int rc = find.step();
            if (rc == SQLITE_ROW)
                return PrintedBefore{i + static_cast<std::size_t>(find.integer(6) - k.serial),
                                     find.text(0),
                                     find.text(1),
                                     int32(find.integer(2)),
                                     find.text(3),
                                     find.text(4),
                                     sheetStateNamed(find.text(5))};
            find.reset();
            if (rc != SQLITE_DONE)
                return failed("repeat check"), std::nullopt;
        }
        return std::nullopt;
    }

    std::optional<std::int32_t> nextFreeSerial(const std::string& line1, const std::string& stem) override {
        if (!m_db)
            return std::nullopt;
        Statement top(m_db,
                      "SELECT l.serial FROM label l JOIN sheet s ON s.id = l.sheet_id "
                      "WHERE l.line1 = ? AND l.stem = ? AND l.serial IS NOT NULL AND s.state <> 'failed' "
                      "ORDER BY l.serial DESC LIMIT 1");
        top.bind(1, line1).bind(2, stem);
        const int rc = top.step();
        if (rc != SQLITE_ROW)
            return finished(rc, "next free number"), std::nullopt;
        return int32(top.integer(0) + 1);
    }

    std::vector<WaitingSheet> waitingSheets() override {
        std::vector<WaitingSheet> sheets;
        if (!m_db)
            return sheets;
        Statement s(m_db, "SELECT id, printer, job FROM sheet WHERE state = 'queued' ORDER BY id");
        int rc;
        while ((rc = s.step()) == SQLITE_ROW)
            sheets.push_back(WaitingSheet{s.integer(0), s.text(1), s.text(2)});
        finished(rc, "waiting sheets");
        return sheets;
    }

    std::vector<HistorySheet> lastSheets(std::size_t count) override {
        std::vector<HistorySheet> sheets;
        if (!m_db)
            return sheets;
        Statement s(
            m_db,
            "SELECT id, time, program, printer, job, state, detail FROM sheet ORDER BY id DESC LIMIT ?");
        const std::string labels =
            std::string("SELECT ") + LabelColumns + " FROM label l WHERE l.sheet_id = ? ORDER BY l.position ";
        Statement first(m_db, (labels + "ASC LIMIT 1").c_str()),
            last(m_db, (labels + "DESC LIMIT 1").c_str());
        s.bind(1, static_cast<std::int64_t>(count));
        int rc;
        while ((rc = s.step()) == SQLITE_ROW) {
            HistorySheet h{s.text(1), s.text(2), s.text(3), s.text(4), {}, {}, sheetStateNamed(s.text(5)),
                           s.text(6)};
            for (auto [statement, label] : {std::pair{&first, &h.first}, std::pair{&last, &h.last}}) {
                statement->bind(1, s.integer(0));
                if (statement->step() == SQLITE_ROW)
                    *label = labelAt(*statement, 0);
                statement->reset();
            }
            sheets.push_back(std::move(h));
        }
        finished(rc, "history");
        return {std::make_move_iterator(sheets.rbegin()), std::make_move_iterator(sheets.rend())};
    }

    bool exportCsv(const std::function<bool(std::string_view)>& write) override {
        if (!m_db)
            return false;
        // A read that stopped halfway is no export.
        const int rc = copyRows(0, copyHeader(), write);
        return rc != WriteRefused && finished(rc, "export");
    }

    CopyOutcome updateCopy() override;

  private:
    void open();
    bool createSchema();
    bool insertLabels(std::int64_t sheet, const std::vector<LedgerLabel>& labels);

    bool failed(const std::string& what) {
        if (m_problem.empty())
            m_problem = what + ": " + (m_db ? sqlite3_errmsg(m_db) : "no database");
        return false;
    }
    // Whether a read went to its end.
    bool finished(int rc, const char* what) { return rc == SQLITE_DONE || failed(what); }
    bool refuse(const std::string& why) {
        if (m_problem.empty())
            m_problem = why;
        return false;
    }
    // Every write is one transaction that takes the write lock at once (so that two writers never
    // meet halfway and one of them is refused), after a look at the journal's name: SQLite opens the
    // journal without following a link, but a pipe there would be written into.
    bool begin() {
        if (!m_db)
            return false;
        if (m_readOnly)
            return refuse(m_path + ": may only be read by this user");
        if (const std::string why = ledgerfile::refusal(m_journal); !why.empty())
            return refuse(m_journal + ": " + why);
        return sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK ||
               failed("begin");
    }
    bool commit() {
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK)
            return true;
        failed("commit");
        rollback();
        return false;
    }
    bool rollback() {
        failed("write");
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }

    static const char* rowsQuery() {
        return "SELECT s.time, s.program, s.printer, s.job, s.run, s.sheet, l.position, l.line1, l.line2, "
               "l.stem, l.serial, l.list_row, l.code_kind, l.code_text, s.state, s.detail, l.id "
               "FROM label l JOIN sheet s ON s.id = l.sheet_id WHERE l.id >= ? ORDER BY l.id";
    }
    // What copyRows gives when `write` refused: none of SQLite's own codes, so that a read SQLite
    // aborted is never taken for a write that failed with nothing to say.
    static constexpr int WriteRefused = -1;
    // A byte-order mark, so that a spreadsheet reads the copy as UTF-8, and the column names.
    static std::string copyHeader() { return "\xEF\xBB\xBF" + csvRecord(ledgerCopyColumns()); }
    // The copy's rows of the labels from `from` on, after `out`, handed to `write` about a megabyte at a
    // time; `seen` is told each label's id, whether its sheet is still queued and how many bytes go
    // before its row. SQLITE_DONE once every row went, WriteRefused when `write` refused, else the
    // read's error.
    int copyRows(std::int64_t from, std::string out, const std::function<bool(std::string_view)>& write,
                 const std::function<void(std::int64_t, bool, std::int64_t)>& seen = {}) {
        Statement rows(m_db, rowsQuery());
        rows.bind(1, from);
        std::int64_t written = 0;
        int rc;
        while ((rc = rows.step()) == SQLITE_ROW) {
            if (seen)
                seen(rows.integer(16), rows.text(14) == "queued",
                     written + static_cast<std::int64_t>(out.size()));
            std::vector<std::string> cells;
            cells.reserve(16);
            for (int i = 0; i < 16; ++i)
                cells.push_back(copyCell(rows.text(i)));
            out += csvRecord(cells);
            if (out.size() >= 1 << 20) {
                if (!write(out))
                    return WriteRefused;
                written += static_cast<std::int64_t>(out.size());
                out.clear();
            }
        }
        if (rc != SQLITE_DONE)
            return rc;
        return write(out) ? SQLITE_DONE : WriteRefused;
    }

    std::string m_startFile, m_path, m_journal, m_copy;
    sqlite3* m_db = nullptr;
    bool m_readOnly = false;
    std::string m_problem;
};

void SqliteLedger::open() {
    if (const std::string why = ledgerfile::refusal(m_journal); !why.empty()) {
        refuse(m_journal + ": " + why);
        return;
    }
    ledgerfile::Stamp made;
    if (const std::string why = ledgerfile::prepare(m_path, m_startFile, made, m_readOnly); !why.empty()) {
        refuse(m_path + ": " + why);
        return;
    }
    const int access = m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    if (sqlite3_open_v2(m_path.c_str(), &m_db, access | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
        failed(m_path);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_db, BusyMilliseconds);
    // A rollback journal works on a local disk and on a network share alike (WAL needs memory shared
    // by every user of the file); EXTRA also flushes the folder once the journal is gone, so that a
    // commit survives a power cut.
    const bool set = m_readOnly || sqlite3_exec(m_db,
                                                "PRAGMA journal_mode = DELETE; PRAGMA synchronous = EXTRA; "
                                                "PRAGMA foreign_keys = ON",
                                                nullptr, nullptr, nullptr) == SQLITE_OK;
    // The file SQLite opened is the one made or checked above: not replaced in between.
    ledgerfile::Stamp now = ledgerfile::stampOf(m_path);
    if (!set || now.id != made.id || !createSchema()) {
        if (now.id != made.id)
            refuse(m_path + ": replaced while it was opened");
        failed(m_path);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

bool SqliteLedger::createSchema() {
    if (m_readOnly) {
        // Someone who may only read it can neither make the schema nor move it on: say which.
        Statement version(m_db, "PRAGMA user_version");
        const std::int64_t found = version.step() == SQLITE_ROW ? version.integer(0) : -1;
        if (found == LedgerSchemaVersion)
            return true;
        return refuse(m_path + ": " +
                      (found == 0  ? std::string("empty, and may only be read by this user")
                       : found < 0 ? std::string("not a ledger")
                                   : "made by a newer Kestrelbox (schema " + std::to_string(found) + ")"));
    }
    if (!begin())
        return false;
    Statement version(m_db, "PRAGMA user_version");
    const int found = version.step() == SQLITE_ROW ? static_cast<int>(version.integer(0)) : -1;
    version.reset();
    if (found == LedgerSchemaVersion)
        return commit();
    if (found != 0) {
        rollback();
        m_problem = m_path + ": " +
                    (found < 0 ? std::string("not a ledger")
                               : "made by a newer Kestrelbox (schema " + std::to_string(found) + ")");
        return false;
    }
    if (sqlite3_exec(m_db, Schema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return rollback();
    // The last version's CSV ledger, read once into the new database so that no sheet of it is lost;
    // the files stay where they are.
    std::vector<LedgerRow> rows =
        ledgerRows(ledgerfile::readWhole(ledgerfile::besideOf(m_startFile, "PrintLog.1.csv")));
    std::vector<LedgerRow> current = ledgerRows(ledgerfile::readWhole(m_copy));
    rows.insert(rows.end(), std::make_move_iterator(current.begin()), std::make_move_iterator(current.end()));
    Statement sheet(m_db, "INSERT INTO sheet(time, program, printer, job, run, sheet, state, detail) "
                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    for (const ImportedSheet& s : importedSheets(rows)) {
        const SheetRecord& r = s.record;
        sheet.bind(1, r.time).bind(2, r.program).bind(3, r.printer).bind(4, r.job).bind(5, r.run);
        sheet.bind(6, std::int64_t{r.sheet}).bind(7, sheetStateName(s.state)).bind(8, s.detail);
        if (!sheet.run() || !insertLabels(sqlite3_last_insert_rowid(m_db), r.labels))
            return rollback();
    }
    if (sqlite3_exec(m_db, ("PRAGMA user_version = " + std::to_string(LedgerSchemaVersion)).c_str(), nullptr,
                     nullptr, nullptr) != SQLITE_OK)
        return rollback();
    return commit();
}

bool SqliteLedger::insertLabels(std::int64_t sheet, const std::vector<LedgerLabel>& labels) {
    Statement label(m_db, "INSERT INTO label(sheet_id, position, line1, line2, stem, serial, list_row, "
                          "code_kind, code_text) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const LedgerLabel& l : labels) {
        label.bind(1, sheet)
            .bind(2, std::int64_t{l.position})
            .bind(3, l.line1)
            .bind(4, l.line2)
            .bind(5, l.stem);
        label.bind(6, l.serial ? std::optional<std::int64_t>(*l.serial) : std::nullopt);
        label.bind(7, std::int64_t{l.row}).bind(8, l.codeKind).bind(9, l.codeText);
        if (!label.run())
            return rollback();
    }
    return true;
}

// The copy is brought up to date by rewriting only its tail: the rows from the first label whose sheet
// was still queued when it was last written (their state may have changed since), then every label
// recorded after. What lies before never changes, so a run costs its own rows whatever the ledger's
// size. A copy that is missing, was written by someone else (another size or time) or could not be
// written last time is written afresh. The copy's state is kept in the database and changes only
// once the file is written, under the write lock, so two runs never write it at once.
CopyOutcome SqliteLedger::updateCopy() {
    if (!m_db)
        return {false, m_problem};
    // The copy's troubles are its own: the ledger's problem() stays for the ledger.
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return {false, m_path + ": " + sqlite3_errmsg(m_db)};
    const auto fail = [&](const std::string& why) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return CopyOutcome{false, m_copy + ": " + why};
    };
    Statement state(m_db, "SELECT tail_label, tail_offset, size, time, file FROM copy_state WHERE id = 1");
    if (state.step() != SQLITE_ROW)
        return fail(sqlite3_errmsg(m_db));
    const ledgerfile::Stamp kept{state.integer(2), state.integer(3),
                                 static_cast<std::uint64_t>(state.integer(4))};
    const bool afresh =
        state.isNull(1) || ledgerfile::stampOf(m_copy) != kept || kept.size < state.integer(1);
    std::int64_t from = afresh ? 0 : state.integer(0), offset = afresh ? 0 : state.integer(1);
    state.reset();

    ledgerfile::CopyWriter file;
    if (std::string why = file.open(m_copy, m_startFile, offset); !why.empty())
        return fail(why);
    std::optional<std::pair<std::int64_t, std::int64_t>> tail; // the first queued label and its offset
    std::int64_t next = from, end = offset;
    std::string why;
    const int rc = copyRows(
        from, afresh ? copyHeader() : std::string(),
        [&](std::string_view bytes) {
            why = file.write(bytes);
            end += static_cast<std::int64_t>(bytes.size());
            return why.empty();
        },
        [&](std::int64_t label, bool queued, std::int64_t before) {
            next = label + 1;
            if (!tail && queued)
                tail.emplace(label, offset + before);
        });
    if (rc != SQLITE_DONE)
        return fail(rc == WriteRefused ? why : sqlite3_errmsg(m_db));
    if (std::string closed = file.close(); !closed.empty())
        return fail(closed);
    const ledgerfile::Stamp written = ledgerfile::stampOf(m_copy);
    Statement store(
        m_db,
        "UPDATE copy_state SET tail_label = ?, tail_offset = ?, size = ?, time = ?, file = ? WHERE id = 1");
    store.bind(1, tail ? tail->first : next).bind(2, tail ? tail->second : end);
    store.bind(3, written.size).bind(4, written.time).bind(5, static_cast<std::int64_t>(written.id));
    if (!store.run() || sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(sqlite3_errmsg(m_db));
    return {true, {}};
}

} // namespace

std::unique_ptr<Ledger> openSqliteLedger(const std::string& startFile) {
    return std::make_unique<SqliteLedger>(startFile);
}

} // namespace kb
