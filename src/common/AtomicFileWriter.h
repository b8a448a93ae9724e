#pragma once

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>

#include <sys/types.h>

class TFdOStream;

// A file that could not be written. what() is "<file name>: <reason>", the reason being the
// system message unless a more precise one is given.
class EFileWriteError : public std::runtime_error
{
public:
    EFileWriteError(const std::string &fileName, int errorCode);
    EFileWriteError(const std::string &fileName, int errorCode, const std::string &reason);
    [[nodiscard]] const std::string &FileName() const { return FFileName; }
    [[nodiscard]] int ErrorCode() const { return FErrorCode; }
    [[nodiscard]] const std::string &Reason() const { return FReason; }

private:
    std::string FFileName;
    int FErrorCode;
    std::string FReason;
};

// Writes a file so that readers only ever see the old or the complete new content, without
// breaking what the user set up around it and without being steered by other users:
//
// - Ordinary case (a regular file of our own, one name, in a folder we may write, or a new
//   file): the data goes to an unnamed temporary file in the target's folder (O_TMPFILE; a
//   hidden ".NAME.XXXXXX" where the file system cannot do that, removed again on SIGINT,
//   SIGTERM and SIGHUP), which Commit flushes and moves over the target. The new file keeps
//   the permissions and group of the one it replaces.
// - In place: a file with several hard links, a file of another user and a file in a folder we
//   may not write cannot be replaced; they are opened when the writer is made, the data goes
//   to an unnamed temporary file in $TMPDIR (else /tmp), and Commit copies it over the file
//   with an exclusive flock on it, after reserving the room the new content needs. Until
//   Commit the file is untouched (an interruption, a full disk, a failed export leave the old
//   content); a refused reservation (a full disk) fails Commit with the old content kept.
//   Only a failure in the middle of the copy itself (the process killed, an I/O error) can
//   leave a mixture. Without a place for the temporary copy the writer refuses, and says so.
//   Anything that is no regular file (pipe, terminal, device) is written where it is.
// - The process's own descriptors (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N) are
//   written through the descriptor, at its position and with its flags, never reopened.
// - Symbolic links are followed (a save through a link updates the file it names; a dangling
//   link creates its target) except where the kernel's protected_symlinks rule would refuse:
//   a link in a sticky world-writable folder that belongs neither to us nor to the folder's
//   owner. Such a link, and a regular file without write permission (a read-only file, even
//   for root), fail with EACCES.
//
//   TAtomicFileWriter writer(path);        // throws EFileWriteError (missing folder, ...)
//   ... long work (a scan) ...
//   exporter.SaveToStream(writer.Stream());
//   writer.Commit();                       // throws EFileWriteError (full disk, ...)
//
// Without a successful Commit nothing is moved into place. One thread at a time.
class TAtomicFileWriter
{
public:
    enum class TMethod { Replace, InPlace, Descriptor };

    // `newFileMode` is the permission of a file that does not exist yet, less the umask.
    explicit TAtomicFileWriter(std::string fileName, mode_t newFileMode = 0666);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter &) = delete;
    TAtomicFileWriter &operator=(const TAtomicFileWriter &) = delete;

    // The first call creates the temporary file (or empties an in-place regular file).
    [[nodiscard]] std::ostream &Stream();
    // The name given to the constructor.
    [[nodiscard]] const std::string &FileName() const { return FFileName; }
    [[nodiscard]] TMethod Method() const { return FMethod; }
    // Throws EFileWriteError when a write has failed so far.
    void ThrowIfFailed() const;
    // Completes the file and moves it into place; afterwards the writer is done.
    void Commit();

    // Lets tests take the path of file systems without unnamed temporary files.
    static void AllowUnnamedTempFiles(bool allow);

private:
    void Prepare();
    void CreateTempFile();
    void OpenInPlace(bool regular);
    void CreateStageFile();
    void CopyStageInPlace();
    void DiscardStage() noexcept;
    void Discard() noexcept;
    [[noreturn]] void Fail(int errorCode);

    std::string FFileName;
    int FDirFd = -1; // folder of the file actually written (links resolved), O_PATH
    std::string FBase; // its name in that folder
    TMethod FMethod = TMethod::Replace;
    bool FRegular = false; // in place: a regular file, emptied before writing
    bool FExists = false; // replace: there is a file to replace
    mode_t FMode = 0;
    gid_t FGroup = 0;
    int FFd = -1;
    std::string FTempName; // a named temporary file in FDirFd
    int FTempSlot = -1; // its entry in the table the signal handler cleans up
    int FStageFd = -1; // in place, regular: the complete copy, written before the file
    int FStageDirFd = -1; // its folder
    std::string FStageName; // its name there when the file system has no unnamed files
    int FStageSlot = -1;
    std::unique_ptr<TFdOStream> FStream;
    bool FCommitted = false;
};
