#pragma once
// Writing files that appear under their names complete and durable, or not at all.
//
// The bytes go to a temporary file beside the final name, created only if no entry of that name
// exists, so a file or symbolic link that someone else planted in a shared folder can never
// redirect the write. Committing syncs the data to the disk, renames the temporary file over the
// final name in one step and then syncs the folder, so that after a power cut the name holds
// either the earlier file or the whole new one. Until the commit succeeds, an earlier file of
// the final name stays exactly as it was.
//
// The process keeps a list of its temporary files, so that a process that has to end part-way
// (exit() in a run, a second interrupting signal) leaves none behind; only a process killed
// outright (SIGKILL, a power cut) can leave one, under a name no result ever has.
//
// Paths are UTF-8. On Windows the temporary file is created with CREATE_NEW, flushed with
// FlushFileBuffers and moved with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH, which
// also makes the rename durable; there is no folder to sync.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "base/status.h"

// How many temporary names create() tries before it gives up: a name is only taken when
// something already exists under it, which with 64 random bits means someone planted it.
constexpr int kTemporaryNameAttempts = 16;

// The next value for the random part of a temporary name. The sequence is seeded once per
// process from the system's random source; every call returns a different value, also when
// threads call it at once (2^64 calls before any value repeats).
std::uint64_t next_temporary_draw();

// Restarts the sequence of next_temporary_draw at seed, so that a test knows in advance the
// names the next writes will try. The same seed gives the same sequence.
void seed_temporary_names(std::uint64_t seed);

// The temporary name for path with random part draw: path + "." + 16 lower-case hexadecimal
// digits + ".tmp", in path's folder.
std::string temporary_name(const std::string& path, std::uint64_t draw);

// One file being written: create(), any number of write()s, then commit(), abandon() or
// CommitBatch::add(). An object left with its temporary file still open abandons it in its
// destructor. Not for use by two threads at once; separate objects are independent, also for
// the same path.
class DurableFile {
   public:
    DurableFile() = default;
    ~DurableFile();
    DurableFile(DurableFile&& other) noexcept;
    DurableFile& operator=(DurableFile&& other) noexcept;
    DurableFile(const DurableFile&) = delete;
    DurableFile& operator=(const DurableFile&) = delete;

    // Creates the temporary file for path, empty, with mode 0666 less the umask (as a newly
    // created file of the C library gets). A name under which anything already exists is
    // passed over for the next draw, at most kTemporaryNameAttempts in all. A failure (no such
    // folder, no permission, every name taken) comes back as StatusCode::write_failed with the
    // line "cannot write 'PATH': REASON". Called once per object.
    Status create(const std::string& path);

    // Appends n bytes to the temporary file. Returns false once any write has failed; the
    // failure is kept and reported by the commit, so a writer may also go on and look only
    // there.
    bool write(const void* data, std::size_t n);

    // Makes the file path's content: syncs the data, closes the temporary file, renames it over
    // path (replacing any earlier file, never following a link there) and syncs path's folder.
    // A write, sync or rename failure removes the temporary file, leaves path as it was and
    // comes back as "cannot write 'PATH': REASON". A folder that cannot be synced after the
    // rename (an input/output error) is reported too, as "'PATH' was written, but ..."; a file
    // system that cannot sync folders at all, or a folder the user may not read, is not an error.
    Status commit();

    // Closes and removes the temporary file; path stays as it was. Does nothing after a commit
    // or when create() failed.
    void abandon();

    // The final path given to create().
    const std::string& path() const { return path_; }
    // The temporary file's path while one exists, else empty.
    const std::string& temporary_path() const { return temp_; }

   private:
    friend class CommitBatch;

    Status failure(int err) const;
    // The steps of a commit, each 0 or an errno value. sync_and_close always closes the file;
    // rename_over removes the temporary file when the rename fails.
    int sync_and_close();
    int rename_over();
    // Asks the system to start writing the data to the disk now, without waiting for it.
    void start_writeback();

#ifdef _WIN32
    void* handle_ = nullptr;  // a HANDLE, nullptr when none is open
#else
    int handle_ = -1;  // a file descriptor, -1 when none is open
#endif
    std::string path_;
    std::string temp_;
    int error_ = 0;  // the first failed write's errno value, 0 while every write succeeded
};

// Files whose bytes are all written, committed together: their data is synced, then each is
// renamed over its path, then each folder is synced once. Syncing several files at once costs
// far less than one after the other, and the data of files added early is already being written
// to the disk while the caller computes the next ones.
//
// The batch's owner hands it the files (add) and commits them (commit). Files still held when
// the batch is destroyed are abandoned; files still held when the process ends through exit()
// (a fatal allocation failure part-way through a run) are committed then, so a result finished
// before it is not lost, and the temporary files of files still being written are removed.
class CommitBatch {
   public:
    CommitBatch();
    ~CommitBatch();
    CommitBatch(const CommitBatch&) = delete;
    CommitBatch& operator=(const CommitBatch&) = delete;

    // Takes a file whose bytes are all written and starts writing them to the disk. A file
    // whose writing already failed is not taken: it is abandoned at once and its failure
    // returned, as its commit would.
    Status add(DurableFile&& file);

    // How many files were added since the last commit().
    std::size_t size() const;

    // Commits every held file and returns one status per file, in the order they were added,
    // with the messages of DurableFile::commit. The batch is empty afterwards.
    std::vector<Status> commit();

   private:
    mutable std::mutex mutex_;  // exit() may come from another thread
    std::vector<DurableFile> files_;
};

// Removes every temporary file of this process at once, of files being written and of files
// held by batches alike, committing nothing: for a process that must end now (a second
// interrupting signal, base/stop_signals.h). From then on no temporary file can be made, nor
// a file committed or abandoned: any other thread that tries waits for ever, so the caller
// ends the process next. Any thread may call it, but no signal handler (it takes a lock).
void remove_temporary_files_for_good();
