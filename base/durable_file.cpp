#ifdef _WIN32
// rand_s is declared by stdlib.h only when this comes first.
#define _CRT_RAND_S
#endif

#include "base/durable_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "base/file_io.h"
#include "base/path.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>
#endif

namespace {

// splitmix64's finaliser: a bijection on 64 bits, so distinct states give distinct draws.
std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// Odd, so adding it visits all 2^64 states before one comes back.
constexpr std::uint64_t kStep = 0x9E3779B97F4A7C15u;

std::uint64_t system_seed() {
    std::uint64_t seed = 0;
#ifdef _WIN32
    unsigned int half[2] = {0, 0};
    if (rand_s(&half[0]) == 0 && rand_s(&half[1]) == 0)
        seed = static_cast<std::uint64_t>(half[0]) << 32 | half[1];
    const std::uint64_t pid = static_cast<std::uint64_t>(_getpid());
#else
    if (getrandom(&seed, sizeof seed, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof seed)) seed = 0;
    const std::uint64_t pid = static_cast<std::uint64_t>(getpid());
#endif
    // Without the system's random source the names are only unpredictable to someone who does
    // not know when the process started; the exclusive creation keeps them safe all the same.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return seed ^ mix(static_cast<std::uint64_t>(now) ^ pid << 40);
}

std::atomic<std::uint64_t>& name_state() {
    static std::atomic<std::uint64_t> state{system_seed()};
    return state;
}

Status folder_failure(const std::string& path, int err) {
    return Status::failure(StatusCode::write_failed,
                           "'" + path + "' was written, but its folder could not be synced (" +
                               error_text(err) + "): it may not survive a power cut");
}

// What the platform does, each step 0 or an errno value.
#ifdef _WIN32
using Native = void*;
Native const kNone = nullptr;

// EEXIST when something of that name exists.
int create_exclusive(const std::string& temp, Native* out) {
    // No sharing: nobody else opens the file while it is written. DELETE lets this process mark
    // it for removal through its own handle (remove_temporary_files_for_good).
    HANDLE h = CreateFileW(windows_file_path(temp).c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return errno_from_windows(GetLastError());
    *out = h;
    return 0;
}

int write_all(Native h, const char* p, std::size_t n) {
    while (n > 0) {
        // WriteFile counts in 32 bits.
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(n, std::size_t{1} << 30));
        DWORD done = 0;
        if (!WriteFile(h, p, part, &done, nullptr)) return errno_from_windows(GetLastError());
        p += done;
        n -= done;
    }
    return 0;
}

void start_writing_back(Native) {}

int sync_native(Native h) {
    return FlushFileBuffers(h) ? 0 : errno_from_windows(GetLastError());
}

int close_native(Native h) {
    return CloseHandle(h) ? 0 : errno_from_windows(GetLastError());
}

// The file must be closed before it can be moved. MOVEFILE_WRITE_THROUGH returns only once the
// move is on the disk, which is what syncing the folder does elsewhere.
int rename_native(const std::string& from, const std::string& to) {
    const std::wstring wide_from = windows_file_path(from), wide_to = windows_file_path(to);
    // Windows keeps a read-only file from being replaced; asking first keeps that promise where
    // it is emulated loosely (Wine running as root replaces one).
    const DWORD attributes = GetFileAttributesW(wide_to.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return EACCES;
    // A target that another writer is replacing at this moment, or that a reader holds open for
    // an instant (a viewer, a virus scanner), refuses the move for that instant only.
    constexpr int kTries = 8;
    for (int attempt = 1;; ++attempt) {
        if (MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return 0;
        const DWORD e = GetLastError();
        if (attempt == kTries || (e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION))
            return errno_from_windows(e);
        Sleep(static_cast<DWORD>(10 * attempt));
    }
}

void remove_native(const std::string& path) {
    DeleteFileW(windows_file_path(path).c_str());
}

// A file open without sharing cannot be deleted by name, not even by its own process; marked
// through the handle, it goes when the handle is closed, at the latest when the process ends.
void remove_open_native(Native h, const std::string&) {
    FILE_DISPOSITION_INFO remove = {TRUE};
    SetFileInformationByHandle(h, FileDispositionInfo, &remove, sizeof remove);
}

std::string folder_of(const std::string&) {
    return std::string();
}

int sync_folder(const std::string&) {
    return 0;
}
#else
using Native = int;
constexpr Native kNone = -1;

int create_exclusive(const std::string& temp, Native* out) {
    // O_EXCL fails on any existing entry, a symbolic link included; O_NOFOLLOW says the same
    // once more for systems that would follow a link at the last step.
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    *out = fd;
    return 0;
}

int write_all(Native fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return 0;
}

void start_writing_back([[maybe_unused]] Native fd) {
#ifdef __linux__
    sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

int sync_native(Native fd) {
    return fsync(fd) == 0 ? 0 : errno;
}

int close_native(Native fd) {
    return close(fd) == 0 ? 0 : errno;
}

int rename_native(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void remove_native(const std::string& path) {
    unlink(path.c_str());
}

void remove_open_native(Native, const std::string& path) {
    unlink(path.c_str());
}

std::string folder_of(const std::string& path) {
    const std::string parent = path_parent(path);
    return parent.empty() ? "." : parent;
}

// A rename lives in the folder, which has to be synced as well to survive a power cut.
int sync_folder(const std::string& folder) {
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A folder one may write but not read cannot be opened; its rename stays unsynced.
    if (dir < 0) return errno == EACCES || errno == EPERM ? 0 : errno;
    int err = 0;
    // EINVAL: a file system that has nothing to sync for folders.
    if (fsync(dir) != 0 && errno != EINVAL) err = errno;
    close(dir);
    return err;
}
#endif

struct LiveBatches;
LiveBatches& live_batches();

// The temporary files of this process that exist now, each with its handle while it is open
// (kNone after), so that all of them can be removed at once when the process has to end
// part-way. A file is listed in the same step (under the same lock) that creates it and its
// handle is closed in the step that marks it closed, so the list is never behind the disk;
// after remove_temporary_files_for_good the lock is never given back, so no file is created
// behind its back.
struct Temporaries {
    // Recursive: the thread that removed the files for good may still call remove again
    // (exit() after it), while every other thread waits for ever.
    std::recursive_mutex mutex;
    std::vector<std::pair<std::string, Native>> live;

    std::pair<std::string, Native>* find(const std::string& temp) {
        for (auto& entry : live)
            if (entry.first == temp) return &entry;
        return nullptr;
    }
    void forget(const std::string& temp) {
        auto* entry = find(temp);
        if (entry != nullptr) live.erase(live.begin() + (entry - live.data()));
    }
};

Temporaries& temporaries() {
    // Never destroyed: the exit handler may run after other static objects are gone.
    static Temporaries* t = [] {
        (void)live_batches();  // registers the exit handler that removes what is left
        return new Temporaries;
    }();
    return *t;
}

}  // namespace

void remove_temporary_files_for_good() {
    Temporaries& t = temporaries();
    t.mutex.lock();  // for good: see Temporaries
    for (const auto& [temp, handle] : t.live) {
        if (handle != kNone)
            remove_open_native(handle, temp);
        else
            remove_native(temp);
    }
    t.live.clear();
}

std::uint64_t next_temporary_draw() {
    return mix(name_state().fetch_add(kStep, std::memory_order_relaxed));
}

void seed_temporary_names(std::uint64_t seed) {
    name_state().store(seed);
}

std::string temporary_name(const std::string& path, std::uint64_t draw) {
    static const char kHex[] = "0123456789abcdef";
    std::string name = path + ".";
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(draw >> shift) & 0xF];
    return name + ".tmp";
}

DurableFile::~DurableFile() {
    abandon();
}

DurableFile::DurableFile(DurableFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNone)),
      path_(std::move(other.path_)),
      temp_(std::exchange(other.temp_, std::string())),
      error_(other.error_) {}

DurableFile& DurableFile::operator=(DurableFile&& other) noexcept {
    if (this != &other) {
        abandon();
        handle_ = std::exchange(other.handle_, kNone);
        path_ = std::move(other.path_);
        temp_ = std::exchange(other.temp_, std::string());
        error_ = other.error_;
    }
    return *this;
}

Status DurableFile::failure(int err) const {
    return Status::failure(StatusCode::write_failed,
                           "cannot write '" + path_ + "': " + error_text(err ? err : EIO));
}

Status DurableFile::create(const std::string& path) {
    path_ = path;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string temp = temporary_name(path, next_temporary_draw());
        Temporaries& t = temporaries();
        std::lock_guard<std::recursive_mutex> lock(t.mutex);
        const int err = create_exclusive(temp, &handle_);
        if (err == 0) {
            t.live.emplace_back(temp, handle_);
            temp_ = temp;
            return Status::success();
        }
        if (err != EEXIST) return failure(err);
    }
    return Status::failure(StatusCode::write_failed,
                           "cannot write '" + path +
                               "': " + std::to_string(kTemporaryNameAttempts) +
                               " temporary names beside it were all taken");
}

bool DurableFile::write(const void* data, std::size_t n) {
    if (handle_ == kNone) return false;
    if (error_ == 0) error_ = write_all(handle_, static_cast<const char*>(data), n);
    return error_ == 0;
}

int DurableFile::sync_and_close() {
    if (handle_ == kNone) return error_ ? error_ : EBADF;
    // The data must be on the disk before the name points at it: a file system may otherwise
    // keep the rename after a power cut but not the bytes, and the earlier file is lost.
    int err = error_ ? error_ : sync_native(handle_);
    int closed = 0;
    {
        Temporaries& t = temporaries();
        std::lock_guard<std::recursive_mutex> lock(t.mutex);
        closed = close_native(handle_);
        handle_ = kNone;
        if (auto* entry = t.find(temp_)) entry->second = kNone;
    }
    return err ? err : closed;
}

int DurableFile::rename_over() {
    const int err = rename_native(temp_, path_);
    if (err == 0) {
        Temporaries& t = temporaries();
        std::lock_guard<std::recursive_mutex> lock(t.mutex);
        t.forget(temp_);
        temp_.clear();
    }
    return err;
}

void DurableFile::start_writeback() {
    if (handle_ != kNone && error_ == 0) start_writing_back(handle_);
}

Status DurableFile::commit() {
    int err = sync_and_close();
    if (err == 0) err = rename_over();
    if (err != 0) {
        abandon();
        return failure(err);
    }
    err = sync_folder(folder_of(path_));
    return err ? folder_failure(path_, err) : Status::success();
}

void DurableFile::abandon() {
    if (handle_ == kNone && temp_.empty()) return;
    Temporaries& t = temporaries();
    std::lock_guard<std::recursive_mutex> lock(t.mutex);
    if (handle_ != kNone) {
        close_native(handle_);
        handle_ = kNone;
    }
    if (!temp_.empty()) {
        remove_native(temp_);
        t.forget(temp_);
        temp_.clear();
    }
}

namespace {

// Every batch alive in the process, for the exit handler.
struct LiveBatches {
    std::mutex mutex;
    std::vector<CommitBatch*> all;
};

void finish_files_at_exit();

LiveBatches& live_batches() {
    static LiveBatches* live = [] {
        // Never destroyed: the exit handler may run after other static objects are gone.
        auto* l = new LiveBatches;
        std::atexit(finish_files_at_exit);
        return l;
    }();
    return *live;
}

// What exit() part-way through a run leaves: the finished files, and no temporary file of one
// that was still being written (exit() destroys no local object that would abandon it).
void finish_files_at_exit() {
    {
        LiveBatches& live = live_batches();
        std::lock_guard<std::mutex> lock(live.mutex);
        for (CommitBatch* b : live.all) (void)b->commit();
    }
    remove_temporary_files_for_good();
}

}  // namespace

CommitBatch::CommitBatch() {
    LiveBatches& live = live_batches();
    std::lock_guard<std::mutex> lock(live.mutex);
    live.all.push_back(this);
}

CommitBatch::~CommitBatch() {
    {
        LiveBatches& live = live_batches();
        std::lock_guard<std::mutex> lock(live.mutex);
        live.all.erase(std::find(live.all.begin(), live.all.end(), this));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    files_.clear();  // each abandons its temporary file
}

Status CommitBatch::add(DurableFile&& file) {
    if (file.error_ != 0 || file.handle_ == kNone) return file.commit();
    file.start_writeback();
    std::lock_guard<std::mutex> lock(mutex_);
    files_.push_back(std::move(file));
    return Status::success();
}

std::size_t CommitBatch::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return files_.size();
}

std::vector<Status> CommitBatch::commit() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> err(files_.size());
    // All data first, so the disk works on every file at once; then the renames; then each
    // folder once, which makes all of its renames durable together.
    for (std::size_t i = 0; i < files_.size(); ++i) err[i] = files_[i].sync_and_close();
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (err[i] == 0) err[i] = files_[i].rename_over();
        if (err[i] != 0) files_[i].abandon();
    }
    std::vector<Status> out(files_.size());
    std::vector<std::pair<std::string, int>> folders;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        if (err[i] != 0) {
            out[i] = files_[i].failure(err[i]);
            continue;
        }
        const std::string folder = folder_of(files_[i].path());
        auto done = std::find_if(folders.begin(), folders.end(),
                                 [&](const auto& f) { return f.first == folder; });
        if (done == folders.end()) done = folders.insert(done, {folder, sync_folder(folder)});
        if (done->second != 0) out[i] = folder_failure(files_[i].path(), done->second);
    }
    files_.clear();
    return out;
}
