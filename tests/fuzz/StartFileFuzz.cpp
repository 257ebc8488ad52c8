// Any bytes as the start file: the reader either fails with a complete error message or yields a
// start position on the sheet; what the writer then stores reads back as the same values, in the
// file's fixed byte format.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzChecks.h"
#include "settings/Error.h"
#include "settings/StartFile.h"

namespace {

// The start file held in memory: the reader sees `file` (as much of it as it asks for), a write
// replaces it whole. Nothing here touches the disk.
class MemoryCalls final : public kb::SystemCalls {
  public:
    std::string file;
    std::string pending;
    bool exists(const std::string&) override { return true; }
    int readFile(const std::string&, std::size_t limit, std::string& bytes) override {
        bytes = file.substr(0, limit);
        return 0;
    }
    int followLinks(const std::string& path, std::string& target) override {
        target = path;
        return 0;
    }
    int checkWritable(const std::string&) override { return 0; }
    int createTemp(const std::string& target, int& fd, std::string& tempPath) override {
        fd = 3;
        tempPath = target + ".tmp";
        pending.clear();
        return 0;
    }
    int openInPlace(const std::string&, int& fd) override {
        fd = 3;
        pending = file;
        return 0;
    }
    int write(int, const char* data, std::size_t size) override {
        pending.append(data, size);
        return 0;
    }
    int truncate(int, std::size_t size) override {
        pending.resize(size);
        return 0;
    }
    int flush(int) override { return 0; }
    int close(int) override { return 0; }
    int rename(const std::string&, const std::string&) override {
        file = pending;
        return 0;
    }
    int remove(const std::string&) override { return 0; }
    int listFolder(const std::string&, std::vector<std::string>& names) override {
        names.clear();
        return 0;
    }
    int removeLeftover(const std::string&) override { return 0; }
};

const std::string kNotInteger = "' は整数ではありません";

const std::string kUtf16 = "StartFile.txt は UTF-16 で保存されています。";

void checkMessage(const std::string& message, const std::string& file) {
    kbfuzz::require(kbfuzz::utf8Length(message) >= 0, "the error text is valid UTF-8", message);
    // A file that begins with a UTF-16 byte-order mark is refused as a whole, naming the file.
    const bool utf16 = file.rfind("\xFF\xFE", 0) == 0 || file.rfind("\xFE\xFF", 0) == 0;
    kbfuzz::require(utf16 == (message.rfind(kUtf16, 0) == 0), "UTF-16, and only UTF-16, is refused whole",
                    message);
    if (utf16)
        return;
    // "'<the characters read>' は整数ではありません": the whole sentence, around at most the two
    // characters of the line that are read.
    kbfuzz::require(
        message.size() > kNotInteger.size() && message.front() == '\'' &&
            message.compare(message.size() - kNotInteger.size(), kNotInteger.size(), kNotInteger) == 0,
        "the error text is the whole sentence", message);
    const std::string shown = message.substr(1, message.size() - 1 - kNotInteger.size());
    kbfuzz::require(kbfuzz::utf8Length(shown) <= 2, "the error shows at most the two characters read",
                    message);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryCalls calls;
    calls.file.assign(reinterpret_cast<const char*>(data), size);
    kb::FileOps ops(calls);
    kb::StartFile startFile("StartFile.txt", ops);

    kb::StartValues values;
    try {
        kbfuzz::require(startFile.read(values), "an existing start file is read");
    } catch (const kb::Error& e) {
        checkMessage(e.what(), calls.file);
        return 0;
    }
    kbfuzz::require(values.StartPosition >= 1 && values.StartPosition <= 30,
                    "the start position is on the sheet", calls.file);
    // Two characters hold at most "99", "-9" or hex "$F"/"xF".
    for (const std::int32_t offset : {values.SavedOffsetDown, values.SavedOffsetRight})
        kbfuzz::require(offset >= -9 && offset <= 99, "an offset comes from two characters", calls.file);

    // What a print run stores reads back the same. An offset below 0 is written as "-0N", of which
    // only "-0" is read back; the lists never hold one, so only 0..99 must survive the trip.
    const kb::StartValues stored = values;
    startFile.SaveStartFile(1, values.StartPosition, values);
    const std::string written = calls.file;
    const auto count = [&written](char c) { return std::count(written.begin(), written.end(), c); };
    kbfuzz::require(count('\r') == 5 && count('\n') == 5 && written.size() >= 13 &&
                        written.compare(written.size() - 7, 7, "\r\n\r\n0\r\n") == 0,
                    "five lines with CR LF, the last two empty and \"0\"", written);
    kb::StartValues again;
    startFile.read(again);
    kbfuzz::require(again.StartPosition == stored.StartPosition, "the start position reads back", written);
    if (stored.SavedOffsetDown >= 0)
        kbfuzz::require(again.SavedOffsetDown == stored.SavedOffsetDown, "the vertical offset reads back",
                        written);
    if (stored.SavedOffsetRight >= 0)
        kbfuzz::require(again.SavedOffsetRight == stored.SavedOffsetRight, "the horizontal offset reads back",
                        written);
    return 0;
}
