#pragma once

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

class TFdOStream;

// A file that could not be written. what() is "<file name>: <system message>".
class EFileWriteError : public std::runtime_error
{
public:
    EFileWriteError(const std::string &fileName, int errorCode);
    [[nodiscard]] const std::string &FileName() const { return FFileName; }
    [[nodiscard]] int ErrorCode() const { return FErrorCode; }

private:
    std::string FFileName;
    int FErrorCode;
};

// Writes a file so that readers only ever see the old or the complete new content: the data
// goes to a hidden temporary file in the same folder, which Commit flushes to the disk and
// renames over the target. Without a successful Commit (an error, an exception, an early
// return) the temporary file is removed and the target is untouched.
//
// The new file keeps the permissions of the file it replaces (a new one gets 0666 less the
// umask); a target that is a symbolic link has the file it points to replaced. A target that
// exists and is no regular file (a pipe, a terminal, /dev/null) is written in place: there
// is nothing to replace, and replacing it would destroy the device or pipe.
//
//   TAtomicFileWriter writer(path);        // throws EFileWriteError (missing folder, ...)
//   exporter.SaveToStream(writer.Stream());
//   writer.Commit();                       // throws EFileWriteError (full disk, ...)
//
// One thread at a time.
class TAtomicFileWriter
{
public:
    explicit TAtomicFileWriter(std::string fileName);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter &) = delete;
    TAtomicFileWriter &operator=(const TAtomicFileWriter &) = delete;

    [[nodiscard]] std::ostream &Stream();
    // The name given to the constructor.
    [[nodiscard]] const std::string &FileName() const { return FFileName; }
    // Throws EFileWriteError when a write has failed so far.
    void ThrowIfFailed() const;
    // Completes the file and moves it into place; afterwards the writer is done.
    void Commit();

private:
    void Discard() noexcept;

    std::string FFileName;
    std::string FTargetPath; // FFileName with a symbolic link resolved
    std::string FTempPath;
    bool FInPlace = false; // the target is no regular file
    int FFd = -1;
    std::unique_ptr<TFdOStream> FStream;
    bool FCommitted = false;
};
