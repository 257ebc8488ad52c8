// A multi-line text box as the label rules see it: lines separated by CR LF, counted from 1, with the
// line operations read / replace / insert as line 2 / delete line 2, and a change handler that runs
// nested inside every operation that changes the text (as typing would). A line operation that finds
// its line runs the handler even when the new text happens to equal the old, so whatever the handler
// derives from the lines is always up to date afterwards.
#pragma once
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kb {

class Memo {
  public:
    // maxBytes 0: no limit. With a limit, a replacement keeps only as many of its first bytes as fit
    // (never splitting a double-byte character).
    explicit Memo(std::size_t maxBytes = 0);

    void setOnChange(std::function<void()> handler) { m_onChange = std::move(handler); }

    const std::string& text() const { return m_text; }
    // Sets the whole text (the user's typing); runs the change handler when it differs. With a limit the
    // text keeps its first bytes that fit.
    void setText(std::string_view text);

    // Number of displayed lines: an empty memo has one empty line; a trailing CR LF opens a last,
    // empty line.
    int lineCount() const;
    // Text of line n without its line break; empty when there is no line n.
    std::string line(int n) const;
    // Replaces the text of line n (its line break stays); nothing when there is no line n.
    void replaceLine(int n, std::string_view text);
    // With a line 2: text + CR LF in front of it. Only a non-empty line 1: CR LF + text appended.
    // Only an empty line 1: nothing.
    void insertLine2(std::string_view text);
    // Removes line 2 with the line break after it; when line 2 is the last line only its text goes.
    void deleteLine2();
    // Empties line n and every line after it; the line breaks stay. The change handler runs once, when
    // any text went.
    void blankLinesFrom(int n);

  private:
    struct Span {
        std::size_t start;
        std::size_t length;
        bool hasBreak; // a line break follows the line
    };
    std::optional<Span> span(int n) const;
    // Bytes that may be added after `removed` bytes are taken out (npos: no limit).
    std::size_t room(std::size_t removed) const;
    void changed();

    std::string m_text;
    std::size_t m_maxBytes;
    std::function<void()> m_onChange;
};

} // namespace kb
