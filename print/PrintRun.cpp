#include "print/PrintRun.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "settings/Error.h"
#include "settings/StartFile.h"

namespace kb {

namespace {

constexpr int PauseAfterSheetMs = 2000;

} // namespace

StartFileStore::StartFileStore(StartFile& file, StartValues& values, std::int32_t offsetDownIndex,
                               std::int32_t offsetRightIndex)
    : m_file(file), m_values(values), m_down(offsetDownIndex), m_right(offsetRightIndex) {}

void StartFileStore::check() {
    m_file.checkStorable();
}

void StartFileStore::taken(const TakenSheet& sheet) {
    // The offsets of the run go with every position it stores, as they do after a whole run.
    m_values.SavedOffsetDown = m_down;
    m_values.SavedOffsetRight = m_right;
    m_file.SaveStartFile(1, sheet.stretch.next, m_values);
}

PrintRun::PrintRun(RunSurface& surface, RunQueue* queue, RunStore* store, Pause& pause,
                   std::function<int()> stopRequest)
    : m_surface(surface), m_queue(queue), m_store(store), m_pause(pause),
      m_stopRequest(std::move(stopRequest)) {}

RunAccount PrintRun::run(const SheetJob& job, const std::vector<SheetRange>& ranges) {
    RunAccount account;
    account.ranges = ranges;
    account.next = job.startPosition;
    const std::size_t total = ranges.size();

    // Before the first sheet: whatever would refuse the run refuses it while nothing is sent.
    if (m_queue) {
        account.queue = m_queue->state();
        const QueueState& q = account.queue;
        if (!q.reachable || !q.exists || q.stopped || !q.acceptingJobs) {
            account.end = RunEnd::QueueRefused;
            return account;
        }
    }
    // Every label must land on the paper: one beyond its edge would be lost with its number while the
    // run looked printed.
    account.offPaper =
        positionsOffPaper(m_surface.paper(), job.offsetRightIndex, job.offsetDownIndex, ranges);
    if (!account.offPaper.empty()) {
        account.end = RunEnd::OffPaper;
        return account;
    }
    // A position that could not be stored afterwards would let the next run print over these labels.
    if (m_store) {
        try {
            m_store->check();
        } catch (const Error& e) {
            account.end = RunEnd::NotStorable;
            account.why = e.what();
            return account;
        }
    }

    // Stores the position after sheet i (on disk before the next sheet is sent).
    const auto store = [&](std::size_t i) {
        if (!m_store)
            return true;
        const TakenSheet sheet{i, ranges[i], i < account.jobs.size() ? account.jobs[i] : 0,
                               stretchOf(ranges, i, i + 1, job.startPosition)};
        try {
            m_store->taken(sheet);
        } catch (const Error& e) {
            account.end = RunEnd::NotStored;
            account.why = e.what();
            return false;
        }
        account.next = sheet.stretch.next;
        return true;
    };

    const bool toFile = m_surface.toFile();
    for (std::size_t i = 0; i < total; ++i) {
        const SheetRange& r = ranges[i];
        if (!PrintSheet(m_surface, job, r.sheet, r.first, r.last)) {
            account.end = toFile ? RunEnd::FileNotWritten : RunEnd::SheetRefused;
            account.why = m_surface.failureText();
            return account;
        }
        if (!toFile) {
            account.jobs.push_back(m_surface.lastJob());
            account.taken = i + 1;
            if (!store(i))
                return account;
        }
        // Told before the pause, which then shows it; the sheet's rows and the position after it are on
        // disk already, so that nothing of it is lost when the program ends during the pause.
        if (progress)
            progress(i + 1, total);
        m_pause.pause(PauseAfterSheetMs);
        if (i + 1 < total) {
            if (const int signal = m_stopRequest()) {
                account.end = RunEnd::Stopped;
                account.signal = signal;
                return account;
            }
        }
    }
    if (toFile) {
        // A file holds every sheet of the run or none: none of them counts until it is written whole.
        if (!m_surface.finish()) {
            account.end = RunEnd::FileNotWritten;
            account.why = m_surface.failureText();
            return account;
        }
        account.taken = total;
        // The file's pages count together: the position after the last is the one to store.
        if (total > 0 && !store(total - 1))
            return account;
    }
    account.end = RunEnd::Printed;
    return account;
}

// ---- the watch ----

JobWatch::JobWatch(std::vector<int> jobs)
    : m_jobs(std::move(jobs)), m_states(m_jobs.size(), JobStatus{JobState::Pending, {}}),
      m_silentSince(m_jobs.size(), -1), m_heldTold(m_jobs.size(), false) {}

namespace {

// The spooler's own bookkeeping ("cups-waiting-for-job-completed") says nothing to the user.
std::vector<std::string> userReasons(std::vector<std::string> reasons) {
    std::erase_if(reasons, [](const std::string& r) { return r.rfind("cups-", 0) == 0; });
    std::sort(reasons.begin(), reasons.end());
    return reasons;
}

// A job the scheduler holds until someone releases it, as against one it holds back because the
// printer cannot take it yet ("resources-are-not-ready"): only the first is called held.
bool heldUntilReleased(const JobStatus& status) {
    if (status.reasons.empty())
        return true; // the Windows spooler's paused job says no more
    return std::any_of(status.reasons.begin(), status.reasons.end(), [](const std::string& r) {
        return r.starts_with("job-hold") || r.starts_with("job-held");
    });
}

} // namespace

bool JobWatch::ended(std::size_t sheet) const {
    return jobOver(m_states[sheet].state) || m_states[sheet].state == JobState::Lost;
}

WatchNews JobWatch::poll(RunQueue& queue, std::int64_t nowMs) {
    WatchNews news;
    bool waiting = false;
    for (std::size_t i = 0; i < m_jobs.size(); ++i) {
        if (ended(i))
            continue;
        // A job the spooler never named has nothing to follow.
        JobStatus now = m_jobs[i] == 0 ? JobStatus{JobState::Unknown, {}} : queue.job(m_jobs[i]);
        if (now.state == JobState::Lost) {
            // Unanswered: the spooler may be restarting. The job keeps its last known state until it
            // has been silent too long.
            if (m_silentSince[i] < 0)
                m_silentSince[i] = nowMs;
            if (nowMs - m_silentSince[i] < LostAfterMs)
                continue;
        } else {
            m_silentSince[i] = -1;
        }
        m_states[i] = std::move(now);
        if (m_states[i].state == JobState::Held && !m_heldTold[i]) {
            m_heldTold[i] = true;
            (heldUntilReleased(m_states[i]) ? news.held : news.blocked).push_back(i);
        }
        if (ended(i))
            news.ended.push_back(i);
        else
            waiting = true;
    }
    if (waiting) {
        // A printer stopped, out of paper or off keeps every job waiting: told once, and again only
        // when what it reports changes.
        QueueState printer = queue.state();
        printer.reasons = userReasons(std::move(printer.reasons));
        // A stopped printer's "paused" says again what `stopped` says.
        if (printer.stopped)
            std::erase_if(printer.reasons, [](const std::string& r) { return r.starts_with("paused"); });
        if (printer.reachable &&
            (printer.stopped != m_printerTold.stopped || printer.reasons != m_printerTold.reasons)) {
            news.printerChanged = printer.stopped || !printer.reasons.empty();
            news.printer = printer;
            m_printerTold = printer;
        }
    }
    return news;
}

bool JobWatch::over() const {
    return done() == m_jobs.size();
}

std::size_t JobWatch::done() const {
    return m_jobs.size() - open().size();
}

std::vector<std::size_t> JobWatch::open() const {
    std::vector<std::size_t> sheets;
    for (std::size_t i = 0; i < m_jobs.size(); ++i)
        if (!ended(i))
            sheets.push_back(i);
    return sheets;
}

// ---- the spooler's reasons in words ----

namespace {

struct ReasonWord {
    std::string_view keyword; // without its severity suffix
    const char* english;
    const char* japanese;
    bool blocks; // the printer will not print until someone acts
};

constexpr ReasonWord Reasons[] = {
    {"job-hold-until-specified", "held until released", "解除されるまで保留", true},
    {"job-hold-until", "held until released", "解除されるまで保留", true},
    {"job-held", "held", "保留", true},
    {"paused", "stopped", "停止", true},
    {"printer-stopped", "printer stopped", "プリンター停止", true},
    {"media-empty", "out of paper", "用紙切れ", true},
    {"media-needed", "paper needed", "用紙が必要", true},
    {"media-jam", "paper jam", "紙詰まり", true},
    {"offline", "off or offline", "電源が切れているかオフライン", true},
    {"shutdown", "off", "電源オフ", true},
    {"door-open", "door open", "扉が開いています", true},
    {"cover-open", "cover open", "カバーが開いています", true},
    {"toner-empty", "out of toner", "トナー切れ", true},
    {"marker-supply-empty", "out of ink or toner", "インクまたはトナー切れ", true},
    {"toner-low", "toner low", "トナー残りわずか", false},
    {"connecting-to-device", "not answering", "応答がありません", true},
    {"user-intervention", "needs attention", "操作が必要です", true},
    {"error", "printer error", "プリンターのエラー", true}, // the Windows spooler's word
    {"resources-are-not-ready", "the printer is not ready", "プリンターの準備ができていません", true},
    {"printer-stopped-partly", "printer partly stopped", "プリンターが一部停止しています", true},
    {"input-tray-missing", "paper tray missing", "用紙トレイがありません", true},
    {"output-area-full", "output tray full", "排紙トレイがいっぱいです", true},
    {"marker-supply-low", "ink or toner low", "インクまたはトナー残りわずか", false},
    {"spool-area-full", "the print system's spool is full", "印刷システムのスプール領域がいっぱいです", true},
    {"job-incoming", "being received", "受信中", false},
    {"job-printing", "printing", "印刷中", false},
    {"job-queued", "queued", "順番待ち", false},
};

// A keyword without words of its own: the user gets these, the keyword stays in the documentation's
// table; a spooler's keyword is no word for a user.
constexpr const char* UnknownEnglish = "the printer reports a problem";
constexpr const char* UnknownJapanese = "プリンターが問題を報告しています";

// A keyword and its severity: "media-empty-error" is media-empty, an error. A keyword without a
// suffix is an error, as the print protocol has it.
struct Reason {
    std::string_view keyword;
    bool error;
    const ReasonWord* known;
};

Reason parse(std::string_view r) {
    Reason reason{r, true, nullptr};
    for (std::string_view suffix : {"-error", "-warning", "-report"})
        if (r.size() > suffix.size() && r.ends_with(suffix)) {
            reason.keyword = r.substr(0, r.size() - suffix.size());
            reason.error = suffix == "-error";
            break;
        }
    for (const ReasonWord& w : Reasons)
        if (w.keyword == reason.keyword)
            reason.known = &w;
    return reason;
}

} // namespace

std::vector<std::string> reasonWords(const std::vector<std::string>& reasons, Wording wording) {
    std::vector<std::string> words;
    for (const std::string& r : reasons) {
        const Reason reason = parse(r);
        std::string word = !reason.known ? (wording == Wording::English ? UnknownEnglish : UnknownJapanese)
                           : wording == Wording::English ? reason.known->english
                                                         : reason.known->japanese;
        if (std::find(words.begin(), words.end(), word) == words.end())
            words.push_back(std::move(word));
    }
    return words;
}

std::vector<std::string> blockingReasons(const std::vector<std::string>& reasons) {
    std::vector<std::string> blocking;
    for (const std::string& r : reasons)
        if (const Reason reason = parse(r); reason.error || (reason.known && reason.known->blocks))
            blocking.push_back(r);
    return blocking;
}

} // namespace kb
