// The PDF file a run prints into. The document goes into a new hidden file beside it, which takes the
// file's name only once the whole document is in it, on the disk. Only a new file, or an existing
// regular file that is no link, is ever replaced: a symbolic link (whose target someone else may have
// chosen), a named pipe, a device or a folder at the name is refused, when the file is opened and again
// just before the new one takes its place.
#pragma once
#include <QFile>
#include <QString>

namespace kb {

class OutputFile {
  public:
    explicit OutputFile(QString path);
    ~OutputFile(); // a document never committed leaves nothing behind
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False, with errorString(), when the name cannot take the document or no file can be made beside it.
    bool open();
    QIODevice* device() { return &m_temp; }
    // Puts the whole document in the file's place; false, with errorString(), when it could not, and
    // the file that was there before is kept.
    bool commit();
    void cancel();
    // Why the last step failed, in words for the user.
    QString errorString() const { return m_error; }

  private:
    bool fail(const QString& why);

    QString m_path;
    QFile m_temp;
    QString m_error;
};

// What the platform answers (OutputFilePosix.cpp, OutputFileWin.cpp).
namespace outputfile {

// Why nothing may be written at path (a link, a named pipe, a device, a folder); empty when nothing is
// there or a regular file.
QString refusal(const QString& path);

// Puts the closed file at path on the disk; false, with why, when it cannot. (The move over the old
// file is the start file's durable rename, which replaces a link at the name and never follows it.)
bool flushToDisk(const QString& path, QString& why);

} // namespace outputfile

} // namespace kb
