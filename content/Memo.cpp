#include "content/Memo.h"

#include "content/Sjis.h"

namespace kb {

namespace {
constexpr std::string_view kBreak = "\r\n";
} // namespace

Memo::Memo(std::size_t maxBytes) : m_maxBytes(maxBytes) {}

void Memo::setText(std::string_view text) {
    std::string limited(text);
    if (m_maxBytes != 0 && limited.size() > m_maxBytes) {
        limited = safeCut(limited, m_maxBytes);
        // Never leave half a line break behind.
        if (!limited.empty() && limited.back() == '\r')
            limited.pop_back();
    }
    if (limited == m_text)
        return;
    m_text = std::move(limited);
    changed();
}

int Memo::lineCount() const {
    int count = 1;
    for (std::size_t pos = m_text.find(kBreak); pos != std::string::npos;
         pos = m_text.find(kBreak, pos + kBreak.size()))
        ++count;
    return count;
}

std::optional<Memo::Span> Memo::span(int n) const {
    if (n < 1)
        return std::nullopt;
    std::size_t start = 0;
    for (int i = 1; i < n; ++i) {
        const std::size_t br = m_text.find(kBreak, start);
        if (br == std::string::npos)
            return std::nullopt;
        start = br + kBreak.size();
    }
    const std::size_t br = m_text.find(kBreak, start);
    const std::size_t end = br == std::string::npos ? m_text.size() : br;
    return Span{start, end - start, br != std::string::npos};
}

std::string Memo::line(int n) const {
    const auto s = span(n);
    return s ? m_text.substr(s->start, s->length) : std::string();
}

std::size_t Memo::room(std::size_t removed) const {
    if (m_maxBytes == 0)
        return std::string::npos;
    const std::size_t kept = m_text.size() - removed;
    return kept >= m_maxBytes ? 0 : m_maxBytes - kept;
}

void Memo::replaceLine(int n, std::string_view text) {
    const auto s = span(n);
    if (!s)
        return;
    const std::string piece = safeCut(text, room(s->length));
    m_text.replace(s->start, s->length, piece);
    changed();
}

void Memo::insertLine2(std::string_view text) {
    std::size_t at = 0;
    std::string piece;
    if (const auto second = span(2)) {
        at = second->start;
        piece = std::string(text) + std::string(kBreak);
    } else {
        if (m_text.empty())
            return;
        at = m_text.size();
        piece = std::string(kBreak) + std::string(text);
    }
    const std::size_t fit = room(0);
    if (piece.size() > fit) {
        // Only a whole line break may go in; the text keeps the first bytes that fit beside it.
        if (fit < kBreak.size())
            return;
        const std::string cut = safeCut(text, fit - kBreak.size());
        piece = (at == m_text.size()) ? std::string(kBreak) + cut : cut + std::string(kBreak);
    }
    m_text.insert(at, piece);
    changed();
}

void Memo::deleteLine2() {
    const auto s = span(2);
    if (!s)
        return;
    const std::size_t length = s->length + (s->hasBreak ? kBreak.size() : 0);
    m_text.erase(s->start, length);
    changed();
}

void Memo::blankLinesFrom(int n) {
    const auto s = span(n);
    if (!s)
        return;
    std::string breaks;
    for (std::size_t pos = m_text.find(kBreak, s->start); pos != std::string::npos;
         pos = m_text.find(kBreak, pos + kBreak.size()))
        breaks += kBreak;
    if (m_text.size() - s->start == breaks.size())
        return;
    m_text.replace(s->start, std::string::npos, breaks);
    changed();
}

void Memo::changed() {
    if (m_onChange)
        m_onChange();
}

} // namespace kb
