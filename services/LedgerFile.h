// The files of the ledger on the disk, for the database code: the database made or checked before
// SQLite opens it (a regular file of this folder, never a link, a pipe or a folder; its mode from the
// start file's), and the copy for people written in place. POSIX and Windows each have their own.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace kb::ledgerfile {

// What names a file: compared before and after SQLite opens it, and kept for the copy so that a
// copy that someone else wrote since is known.
struct Stamp {
    std::int64_t size = -1; // -1: no file
    std::int64_t time = 0;  // last write, in the system's own ticks
    std::uint64_t id = 0;   // the file's identity (device and inode) where the system gives one
    bool operator==(const Stamp&) const = default;
};

// Why the name cannot be one of the ledger's files (a link, a pipe, a folder, a device); empty when
// it is a regular file or missing.
std::string refusal(const std::string& path);

// Makes the file when it is missing (mode from the start file's, the start file's owner and group
// where the system lets us), or checks the one there and brings its mode into line when it is ours.
// Empty when the file is ready; `stamp` then names it. `readOnly`: it is there but this user may
// only read it (the history still can).
std::string prepare(const std::string& path, const std::string& startFile, Stamp& stamp, bool& readOnly);

Stamp stampOf(const std::string& path);

// The whole of a regular file (nothing when it is missing, a link, a pipe or a folder).
std::string readWhole(const std::string& path);

// The path with the links on its way followed, where the system has them (the path itself where
// it cannot be followed).
std::string realPath(const std::string& path);

// The copy, opened for writing at `offset` (what lies after is cut), made as prepare() makes files.
class CopyWriter {
  public:
    CopyWriter() = default;
    CopyWriter(const CopyWriter&) = delete;
    CopyWriter& operator=(const CopyWriter&) = delete;
    ~CopyWriter();
    // Empty on success, else why (in the system's words).
    std::string open(const std::string& path, const std::string& startFile, std::int64_t offset);
    std::string write(std::string_view bytes);
    std::string close(); // flushed to the disk

  private:
    std::intptr_t m_handle = -1;
};

// A name in the folder of `path` ("." when it names none).
std::string besideOf(const std::string& path, const std::string& name);

} // namespace kb::ledgerfile
