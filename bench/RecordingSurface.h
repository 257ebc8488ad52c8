// The benchmarks' print surface: it keeps what a printer would receive, so that the drawing cannot be
// optimised away, and costs next to nothing itself.
#pragma once
#include <string>
#include <vector>

#include "print/PrintRules.h"

namespace kbbench {

class RecordingSurface final : public kb::PrintSurface {
  public:
    struct Op {
        int kind, a, b, c, d;
    };
    std::vector<Op> ops;
    std::size_t textBytes = 0;

    bool beginDocument() override {
        ops.clear();
        textBytes = 0;
        return true;
    }
    bool endDocument() override { return true; }
    std::int32_t dpiX() const override { return 600; }
    std::int32_t dpiY() const override { return 600; }
    void setPen(std::int32_t w, std::uint32_t c) override { ops.push_back({0, w, int(c), 0, 0}); }
    void setBrush(std::uint32_t c) override { ops.push_back({1, int(c), 0, 0, 0}); }
    void rectangle(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
        ops.push_back({2, l, t, r, b});
    }
    void setFont(std::int32_t p, std::uint32_t c) override { ops.push_back({3, p, int(c), 0, 0}); }
    std::int32_t textHeight(const std::string& s) override { return 80 + int(s.size() % 3); }
    void textOut(std::int32_t x, std::int32_t y, const std::string& s) override {
        ops.push_back({4, x, y, 0, 0});
        textBytes += s.size();
    }
    std::size_t rectangles() const {
        std::size_t n = 0;
        for (const Op& op : ops)
            n += op.kind == 2;
        return n;
    }
};

} // namespace kbbench
