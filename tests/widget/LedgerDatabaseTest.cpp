// The ledger's database on the disk: its schema and what refuses it, the import of the last version's
// CSV ledger, the repeat check, states set in place, the files' modes, the copy for people, and
// writers killed while they write.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "services/LedgerSqlite.h"

using namespace kb;
namespace fs = std::filesystem;

namespace {

struct Folder {
    fs::path path;
    explicit Folder(unsigned startMode = 0644) {
        char name[] = "/tmp/kb-ledger-XXXXXX";
        path = ::mkdtemp(name);
        std::ofstream(path / "StartFile.txt") << "1\r\n10\r\n10\r\n\r\n0\r\n";
        fs::permissions(path / "StartFile.txt", fs::perms(startMode));
    }
    ~Folder() { fs::remove_all(path); }
    std::string start() const { return (path / "StartFile.txt").string(); }
    std::string read(const char* name) const {
        std::ifstream in(path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // One value of the database, through SQLite itself.
    std::string query(const std::string& sql) const {
        sqlite3* db = nullptr;
        sqlite3_open((path / "PrintLog.db").c_str(), &db);
        std::string out;
        sqlite3_exec(
            db, sql.c_str(),
            [](void* o, int, char** v, char**) {
                *static_cast<std::string*>(o) += v[0] ? v[0] : "NULL";
                return 0;
            },
            &out, nullptr);
        sqlite3_close(db);
        return out;
    }
};

// A sheet of `count` labels of (line1, stem-N), serials from `first` (none: not numbered).
SheetRecord sheet(const std::string& line1, const std::string& stem, std::optional<int> first, int count,
                  int position = 1, const std::string& date = "26/12/09") {
    SheetRecord r{"2026-12-09T10:00:00+09:00", "command", "kbtest", "12", "run-1", 1, {}};
    for (int i = 0; i < count; ++i) {
        const std::optional<int> serial = first ? std::optional(*first + i) : std::nullopt;
        const std::string line2 = serial ? stem + "-" + std::to_string(*serial) + " " + date : stem;
        r.labels.push_back(LedgerLabel{position + i, line1, line2, serial ? stem : "", serial, 0, "", ""});
    }
    return r;
}

} // namespace

// What opens as a ledger of this version, and what is refused with the reason (and records nothing).
TEST(LedgerDatabase, SchemaAndRefusals) {
    struct Case {
        const char* name;
        std::function<void(const Folder&)> before;
        std::string problem;  // empty: opens
        const char* via = ""; // the folder the start file is named through
    };
    const auto file = [](const char* name, const char* text) {
        return [=](const Folder& f) { std::ofstream(f.path / name) << text; };
    };
    const Case cases[] = {
        {"an empty file", file("PrintLog.db", ""), ""},
        {"a newer schema",
         [](const Folder& f) {
             openSqliteLedger(f.start());
             f.query("PRAGMA user_version = 2");
         },
         "made by a newer Kestrelbox (schema 2)"},
        {"not a database", file("PrintLog.db", "time,program\r\n"), "file is not a database"},
        {"a link",
         [](const Folder& f) { fs::create_symlink(f.path / "elsewhere.db", f.path / "PrintLog.db"); },
         "a symbolic link"},
        {"a start file named through a linked folder",
         [](const Folder& f) { fs::create_directory_symlink(f.path, f.path / "linked"); }, "", "linked/"},
        {"a link as the journal",
         [](const Folder& f) { fs::create_symlink(f.path / "elsewhere.db", f.path / "PrintLog.db-journal"); },
         "a symbolic link"},
        {"a pipe as the journal",
         [](const Folder& f) { ::mkfifo((f.path / "PrintLog.db-journal").c_str(), 0600); }, "a named pipe"},
    };
    for (const Case& c : cases) {
        Folder f;
        c.before(f);
        auto ledger = openSqliteLedger((f.path / c.via / "StartFile.txt").string());
        const bool recorded = ledger->recordSheet(sheet("HELLO", "ABC", 1, 3)).has_value();
        if (c.problem.empty()) {
            EXPECT_TRUE(recorded) << c.name << ": " << ledger->problem();
            EXPECT_EQ(f.query("PRAGMA user_version"), std::to_string(LedgerSchemaVersion)) << c.name;
            EXPECT_EQ(f.query("PRAGMA journal_mode"), "delete") << c.name;
        } else {
            EXPECT_FALSE(recorded) << c.name;
            EXPECT_NE(ledger->problem().find(c.problem), std::string::npos)
                << c.name << ": " << ledger->problem();
        }
        EXPECT_FALSE(fs::exists(f.path / "elsewhere.db")) << c.name;
    }
}

// The last version's two files are read in once, on first use: a sheet queued in the older one takes
// the end that the newer one gives it.
TEST(LedgerDatabase, ImportsTheLastVersionsFiles) {
    Folder f;
    const std::string header = "\xEF\xBB\xBFtime,program,printer,job,sheet,positions,first_line1,first_line2,"
                               "last_line1,last_line2,first_serial,last_serial,state,detail\r\n";
    const std::string sheet1 = "2026-11-01T09:00:00+09:00,window,kbtest,3,1,1-6,HELLO,ABC-1 26/11/01,HELLO,"
                               "ABC-6 26/11/01,1,6,";
    const std::string sheet2 =
        "2026-11-03T09:00:00+09:00,command,kbtest,5,1,10-12,HELLO,ABC-10,HELLO,ABC-12,10,12,";
    std::ofstream(f.path / "PrintLog.1.csv", std::ios::binary) << header << sheet1 << "queued,\r\n";
    std::ofstream(f.path / "PrintLog.csv", std::ios::binary) << header << sheet1 << "printed,\r\n"
                                                             << sheet2 << "queued,\r\n"
                                                             << sheet2 << "failed,cancelled\r\n";
    // The failed ABC-10..12 are free; ABC-1..6 were printed.
    EXPECT_EQ(openSqliteLedger(f.start())->nextFreeSerial("HELLO", "ABC"), 7);
    openSqliteLedger(f.start()); // not read in twice
    EXPECT_EQ(f.query("SELECT group_concat(state || detail) FROM sheet"), "printed,failedcancelled");
    EXPECT_EQ(f.query("SELECT count(*) FROM label"), "9");
}

// A numbered label repeats one of the ledger when its line 1, stem and serial are the same, whatever
// its line 2 holds; failed sheets aside, queued and unknown ones counted; the first of the run's keys
// found is told, with where it was printed. A sheet's end is written over its state whatever order the
// ends come in.
TEST(LedgerDatabase, RepeatCheckAndStates) {
    Folder f;
    auto ledger = openSqliteLedger(f.start());
    const auto printed = ledger->recordSheet(sheet("HELLO", "ABC", 7, 10, 5)); // ABC-7..16
    const auto failed = ledger->recordSheet(sheet("HELLO", "ABC", 17, 5));     // ABC-17..21
    const auto unknown = ledger->recordSheet(sheet("HELLO", "XYZ", 1, 2));     // XYZ-1..2
    const auto queued = ledger->recordSheet(sheet("WORLD", "ABC", 30, 1));
    const auto plain = ledger->recordSheet(sheet("HELLO", "", std::nullopt, 3)); // not numbered
    ASSERT_TRUE(printed && failed && unknown && queued && plain) << ledger->problem();
    ledger->setState(*printed, SheetState::Unknown, "the print system could not be asked", "t1");
    ledger->setState(*printed, SheetState::Printed, "", "t2");
    ledger->setState(*failed, SheetState::Failed, "cancelled", "t");
    ledger->setState(*unknown, SheetState::Unknown, "the print system no longer knows the job", "t");
    struct Case {
        std::vector<SeriesKey> keys;
        std::optional<std::size_t> index;
        std::int32_t position = 0;
    };
    const Case cases[] = {
        {{{"HELLO", "ABC", 5}, {"HELLO", "ABC", 6}, {"HELLO", "ABC", 7}}, 2, 5},
        {{{"HELLO", "ABC", 16}}, 0, 14},
        {{{"HELLO", "ABC", 17}, {"HELLO", "ABC", 21}, {"HELLO", "ABC", 22}}, std::nullopt},
        {{{"HELLO", "XYZ", 2}}, 0, 2},
        {{{"HELLO", "AB", 7}, {"HELLO ", "ABC", 7}, {"HELLO", "ABC", 70}}, std::nullopt},
        {{{"WORLD", "ABC", 29}, {"WORLD", "ABC", 30}}, 1, 1},
        {{}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto found = ledger->firstRepeat(c.keys);
        ASSERT_EQ(found.has_value(), c.index.has_value()) << (c.keys.empty() ? "" : c.keys[0].stem);
        if (found) {
            EXPECT_EQ(found->index, *c.index);
            EXPECT_EQ(found->position, c.position);
            EXPECT_EQ(found->printer, "kbtest");
        }
    }
    EXPECT_EQ(ledger->nextFreeSerial("HELLO", "ABC"), 17); // 17..21 failed
    EXPECT_EQ(ledger->nextFreeSerial("HELLO", "QQQ"), std::nullopt);
    EXPECT_EQ(f.query("SELECT group_concat(state || ifnull(ended, '-')) FROM sheet"),
              "printedt2,failedt,unknownt,queued-,queued-");
    EXPECT_EQ(ledger->problem(), "");
}

// The database and its copy may be read and written by those who may read and write the start file,
// never by more.
TEST(LedgerDatabase, ModesFollowTheStartFile) {
    for (const unsigned mode : {0600u, 0640u, 0660u, 0644u}) {
        Folder f(mode);
        ::umask(022);
        auto ledger = openSqliteLedger(f.start());
        ASSERT_TRUE(ledger->recordSheet(sheet("HELLO", "ABC", 1, 3))) << ledger->problem();
        ASSERT_TRUE(ledger->updateCopy().upToDate);
        for (const char* name : {"PrintLog.db", "PrintLog.csv"}) {
            struct stat info {};
            ::stat((f.path / name).c_str(), &info);
            EXPECT_EQ(info.st_mode & 0777, ledgerMode(mode)) << name << " " << std::oct << mode;
        }
        // Another user (of the start file's group, in a folder the group may write): reads the
        // history where the start file lets the group read, records only where it lets it write.
        if (::geteuid() != 0)
            continue;
        for (const fs::path& p : {f.path, f.path / "StartFile.txt", f.path / "PrintLog.db"})
            EXPECT_EQ(::chown(p.c_str(), 0, 65534), 0);
        fs::permissions(f.path, fs::perms(0775));
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0)
                ::_exit(9);
            auto other = openSqliteLedger(f.start());
            const bool reads = other->lastSheets(5).size() == 1,
                       writes = other->recordSheet(sheet("X", "", 1, 1)).has_value();
            ::_exit((reads ? 1 : 0) | (writes ? 2 : 0));
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        const int want = (mode & 040 ? 1 : 0) | (mode & 020 ? 2 : 0);
        EXPECT_EQ(WEXITSTATUS(status), want) << std::oct << mode;
    }
}

// The copy: the whole ledger as people read it, formula-like cells shown as text (the database keeps
// them exact), states brought up to date in the rows already written; a copy that someone else changed
// is written afresh.
TEST(LedgerDatabase, Copy) {
    Folder f;
    auto ledger = openSqliteLedger(f.start());
    const auto exported = [&] {
        std::string out;
        EXPECT_TRUE(ledger->exportCsv([&](std::string_view s) { return out.append(s), true; }));
        return out;
    };
    const auto first = ledger->recordSheet(sheet("=HYPERLINK(\"http://x\")", "-1", 1, 2));
    ASSERT_TRUE(ledger->updateCopy().upToDate);
    std::string copy = f.read("PrintLog.csv");
    EXPECT_EQ(copy, exported());
    EXPECT_TRUE(copy.starts_with("\xEF\xBB\xBFtime,program,"));
    EXPECT_NE(copy.find(",\"'=HYPERLINK(\"\"http://x\"\")\",'-1-1 26/12/09,'-1,1,0,,,queued,\r\n"),
              std::string::npos);
    EXPECT_EQ(f.query("SELECT line1 FROM label LIMIT 1"), "=HYPERLINK(\"http://x\")");

    // The queued rows are the tail, written again with their end.
    ledger->setState(*first, SheetState::Printed, "", "t");
    ledger->recordSheet(sheet("HELLO", "ABC", 1, 3));
    ASSERT_TRUE(ledger->updateCopy().upToDate);
    EXPECT_NE(exported().find("'-1-2 26/12/09,'-1,2,0,,,printed,\r\n"), std::string::npos);
    EXPECT_EQ(f.read("PrintLog.csv"), exported());

    // A copy that someone re-saved is the user's file no more: written afresh.
    std::ofstream(f.path / "PrintLog.csv", std::ios::app) << "extra,,,,\r\n";
    ledger->recordSheet(sheet("HELLO", "ABC", 7, 1));
    ASSERT_TRUE(ledger->updateCopy().upToDate);
    EXPECT_EQ(f.read("PrintLog.csv"), exported());
}

// Writers in several processes killed at random instants leave a database that passes the integrity
// check and holds each sheet whole or not at all. (That every sheet the queue took is there is the
// end-to-end kill test's.)
TEST(LedgerDatabase, WritersKilled) {
    Folder f;
    openSqliteLedger(f.start());
    std::mt19937 random(42);
    for (int round = 0; round < 5; ++round) {
        std::vector<pid_t> pids;
        for (int w = 0; w < 3; ++w) {
            if (const pid_t pid = ::fork(); pid != 0) {
                pids.push_back(pid);
                continue;
            }
            auto ledger = openSqliteLedger(f.start());
            for (int i = 0;; ++i)
                ledger->recordSheet(sheet("W" + std::to_string(w), "S", 1 + 30 * i, 30));
        }
        for (const pid_t pid : pids) {
            ::usleep(std::uniform_int_distribution<useconds_t>(1000, 60000)(random));
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        EXPECT_EQ(f.query("PRAGMA integrity_check"), "ok");
        EXPECT_EQ(f.query("SELECT count(*) FROM sheet s WHERE (SELECT count(*) FROM label WHERE sheet_id = "
                          "s.id) <> 30"),
                  "0");
    }
    EXPECT_GT(std::stoi(f.query("SELECT count(*) FROM sheet")), 0);
}
