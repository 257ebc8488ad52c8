// The print run's fakes, shared by the rules' tests and the print service's: a surface that records
// every drawing call, a pause that records its waits, and a queue that answers from a script.
#pragma once
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "print/PrintRun.h"

namespace kbtest {

using namespace kb;
using Ops = std::vector<std::string>;

// Remembers every drawing call as one line of text, so a whole page compares at once.
class RecordingSurface : public RunSurface {
  public:
    std::vector<std::string> ops;
    int x = 600, y = 600;
    bool acceptBegin = true, acceptEnd = true;
    // As a run's surface: a queue's (one job a sheet) or a file's, and what a sheet's begin does.
    bool file = false, finishes = true;
    Paper page{600, 600, 4960, 7016, 0, 0}; // A4 at 600 dpi
    int begun = 0;
    std::function<bool()> onBegin = [] { return true; };

    bool beginDocument() override {
        ops.push_back("begin");
        ++begun;
        return acceptBegin && onBegin();
    }
    bool toFile() const override { return file; }
    Paper paper() const override { return page; }
    int lastJob() const override { return 100 + begun; }
    bool finish() override { return finishes; }
    std::string failureText() const override { return "refused"; }
    bool endDocument() override {
        ops.push_back("end");
        return acceptEnd;
    }
    std::int32_t dpiX() const override { return x; }
    std::int32_t dpiY() const override { return y; }
    void setPen(std::int32_t width, std::uint32_t colour) override {
        ops.push_back("pen " + std::to_string(width) + " " + hex(colour));
    }
    void setBrush(std::uint32_t colour) override { ops.push_back("brush " + hex(colour)); }
    void rectangle(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
        ops.push_back("rect " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
                      std::to_string(b));
    }
    void setFont(std::int32_t points, std::uint32_t colour) override {
        ops.push_back("font " + std::to_string(points) + " " + hex(colour));
        m_points = points;
    }
    // A text height that depends on the font size, so the placement of line 1 shows which was used.
    std::int32_t textHeight(const std::string&) override { return m_points == 10 ? 100 : 90; }
    void textOut(std::int32_t tx, std::int32_t ty, const std::string& text) override {
        ops.push_back("text " + std::to_string(tx) + " " + std::to_string(ty) + " " + text);
    }

    std::vector<std::string> only(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& op : ops)
            if (op.rfind(prefix, 0) == 0)
                out.push_back(op);
        return out;
    }

  private:
    static std::string hex(std::uint32_t c) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%06X", c);
        return buf;
    }
    std::int32_t m_points = 0;
};

struct RecordingPause : Pause {
    std::vector<int> waits;
    std::function<void()> onPause = [] {};
    void pause(int ms) override {
        waits.push_back(ms);
        onPause();
    }
};

// A run of numbered or plain labels; enough of them for any sheet the tests draw.
inline std::shared_ptr<const RunLabels> labelsOf(NumberedLabel label, bool numbering = false,
                                                 std::int32_t first = 1) {
    return std::make_shared<const TypedLabels>(std::move(label), numbering, first, 2000);
}

// A queue in a given state; each job answers from its list, one a look, the last repeating.
struct FakeQueue : RunQueue {
    QueueState queue{true, true, false, true, {}};
    std::map<int, std::vector<JobStatus>> answers;
    std::map<int, std::size_t> asked;
    QueueState state() override { return queue; }
    JobStatus job(int id) override {
        const std::vector<JobStatus>& a = answers[id];
        return a[std::min(asked[id]++, a.size() - 1)];
    }
};

} // namespace kbtest
