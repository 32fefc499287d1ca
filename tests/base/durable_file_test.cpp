// Durable files: what a folder holds before, during and after a write, with entries planted by
// someone else under the temporary names, with failures, and with several writers at once.
// Portable: the Windows test program runs it too; symbolic links, modes and file-size limits
// are POSIX only.

#include "base/durable_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> names_in(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::u8path(dir.path())))
        names.push_back(e.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

Status write_whole(const std::string& path, const Bytes& bytes) {
    DurableFile f;
    Status st = f.create(path);
    if (!st.ok()) return st;
    // In two pieces, as writers hand over a header and then the rows.
    f.write(bytes.data(), bytes.size() / 2);
    f.write(bytes.data() + bytes.size() / 2, bytes.size() - bytes.size() / 2);
    return f.commit();
}

// The names the next writes will try after seed_temporary_names(seed), in order.
std::vector<std::string> next_names(const std::string& path, std::uint64_t seed, int count) {
    seed_temporary_names(seed);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(temporary_name(path, next_temporary_draw()));
    seed_temporary_names(seed);
    return names;
}

TEST(TemporaryNames, AreThePathADotSixteenHexDigitsAndTmp) {
    EXPECT_EQ(temporary_name("/d/x_dct.bmp", 0x0123456789ABCDEFu),
              "/d/x_dct.bmp.0123456789abcdef.tmp");
    EXPECT_EQ(temporary_name("x.bmp", 10), "x.bmp.000000000000000a.tmp");
}

TEST(DurableFile, TheEarlierFileStaysUntilCommitThenTheWholeNewOneIsThere) {
    TempDir dir;
    const std::string path = dir.file("r.bmp");
    write_file(path, Bytes(100, 'e'));
    const std::vector<std::string> names = next_names(path, 11, 1);

    DurableFile f;
    ASSERT_TRUE(f.create(path).ok());
    EXPECT_EQ(f.temporary_path(), names[0]) << "beside the result, under the first draw";
    const Bytes fresh(70000, 'n');
    ASSERT_TRUE(f.write(fresh.data(), fresh.size()));
    EXPECT_EQ(read_file(path), Bytes(100, 'e'));
#ifdef _WIN32
    EXPECT_TRUE(file_exists(names[0])) << "nobody else may open it while it is written";
#else
    EXPECT_EQ(read_file(names[0]), fresh);
#endif

    Status st = f.commit();
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_EQ(read_file(path), fresh);
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.bmp"});
    EXPECT_TRUE(f.temporary_path().empty());
}

TEST(DurableFile, AbandonedFileLeavesTheEarlierOneAndNoTrace) {
    TempDir dir;
    const std::string path = dir.file("r.bmp");
    write_file(path, Bytes(100, 'e'));
    {
        DurableFile f;
        ASSERT_TRUE(f.create(path).ok());
        f.write("partial", 7);
        f.abandon();
        EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.bmp"});
        f.abandon();  // twice is harmless
    }
    {
        DurableFile left;  // neither committed nor abandoned: the destructor abandons
        ASSERT_TRUE(left.create(path).ok());
        left.write("partial", 7);
    }
    EXPECT_EQ(read_file(path), Bytes(100, 'e'));
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.bmp"});
}

// What someone else may have put under the names the next write will try.
enum class Planted { regular_file, link_to_users_file, dangling_link };

const char* planted_name(Planted p) {
    switch (p) {
        case Planted::regular_file:
            return "RegularFile";
        case Planted::link_to_users_file:
            return "LinkToUsersFile";
        case Planted::dangling_link:
            return "DanglingLink";
    }
    return "";
}

class PlantedNames : public ::testing::TestWithParam<Planted> {
   protected:
    // Plants under each of names; links point at the user's file (or, dangling, at where one
    // could be made).
    void plant(const std::vector<std::string>& names) {
        write_file(users_file, users_bytes);
        for (const std::string& n : names) {
            switch (GetParam()) {
                case Planted::regular_file:
                    write_file(n, planted_bytes);
                    break;
                case Planted::link_to_users_file:
                case Planted::dangling_link:
#ifndef _WIN32
                    ASSERT_EQ(
                        symlink(
                            (GetParam() == Planted::dangling_link ? not_yet : users_file).c_str(),
                            n.c_str()),
                        0);
#endif
                    break;
            }
        }
    }

    // Everything planted is as it was, and nothing was made through a link.
    void expect_untouched(const std::vector<std::string>& names) {
        EXPECT_EQ(read_file(users_file), users_bytes);
        EXPECT_FALSE(file_exists(not_yet));
        for (const std::string& n : names) {
            if (GetParam() == Planted::regular_file) {
                EXPECT_EQ(read_file(n), planted_bytes) << n;
                continue;
            }
#ifndef _WIN32
            std::error_code ec;
            EXPECT_TRUE(std::filesystem::is_symlink(n, ec)) << n;
#endif
        }
    }

    void SetUp() override {
#ifdef _WIN32
        if (GetParam() != Planted::regular_file) GTEST_SKIP() << "links need privileges on Windows";
#endif
    }

    TempDir shared;  // a folder others may write in
    TempDir home;    // the user's own
    const std::string users_file = home.file("thesis.txt");
    const std::string not_yet = home.file("made-through-a-link");
    const Bytes users_bytes = Bytes(40, 'u');
    const Bytes planted_bytes = Bytes(3, 'p');
};

TEST_P(PlantedNames, UnderAllButTheLastNameTheWriteTakesTheFreeOne) {
    const std::string path = shared.file("r.bmp");
    const std::vector<std::string> names = next_names(path, 23, kTemporaryNameAttempts);
    const std::vector<std::string> taken(names.begin(), names.end() - 1);
    plant(taken);
    const Bytes fresh(5000, 'n');
    Status st = write_whole(path, fresh);
    ASSERT_TRUE(st.ok()) << st.message;
    EXPECT_EQ(read_file(path), fresh);
    expect_untouched(taken);
    EXPECT_FALSE(file_exists(names.back())) << "the one free name was used and renamed away";
}

TEST_P(PlantedNames, UnderEveryNameTheWriteFailsClearlyAndChangesNothing) {
    const std::string path = shared.file("r.bmp");
    write_file(path, Bytes(9, 'e'));
    const std::vector<std::string> names = next_names(path, 29, kTemporaryNameAttempts);
    plant(names);
    Status st = write_whole(path, Bytes(5000, 'n'));
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_EQ(st.message, "cannot write '" + path + "': " + std::to_string(kTemporaryNameAttempts) +
                              " temporary names beside it were all taken");
    EXPECT_EQ(read_file(path), Bytes(9, 'e'));
    expect_untouched(names);
    EXPECT_EQ(names_in(shared).size(), names.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PlantedNames,
                         ::testing::Values(Planted::regular_file, Planted::link_to_users_file,
                                           Planted::dangling_link),
                         [](const auto& p) { return std::string(planted_name(p.param)); });

TEST(DurableFile, MissingFolderIsAFailureNamingTheFile) {
    TempDir dir;
    const std::string path = dir.file("no") + "/such/r.bmp";
    Status st = write_whole(path, Bytes(10, 'n'));
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_EQ(st.message.rfind("cannot write '" + path + "': ", 0), 0u) << st.message;
    EXPECT_TRUE(names_in(dir).empty());
}

TEST(DurableFile, RenameOntoAFolderFailsAndRemovesTheTemporaryFile) {
    TempDir dir;
    std::filesystem::create_directory(std::filesystem::u8path(dir.file("r.bmp")));
    Status st = write_whole(dir.file("r.bmp"), Bytes(10, 'n'));
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_NE(st.message.find("r.bmp"), std::string::npos) << st.message;
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.bmp"});
}

TEST(DurableFile, ThreadsWritingOnePathEachFinishAndOneWholeFileRemains) {
    TempDir dir;
    const std::string path = dir.file("r.bmp");
    constexpr int kThreads = 4;
    std::vector<Status> done(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            done[t] =
                write_whole(path, Bytes(200000 + 1000 * t, static_cast<std::uint8_t>('a' + t)));
        });
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(done[t].ok()) << done[t].message;
    const Bytes final_bytes = read_file(path);
    ASSERT_FALSE(final_bytes.empty());
    const int writer = final_bytes[0] - 'a';
    ASSERT_TRUE(writer >= 0 && writer < kThreads);
    EXPECT_EQ(final_bytes, Bytes(200000 + 1000 * writer, final_bytes[0]));
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.bmp"});
}

#ifndef _WIN32
TEST(DurableFile, NewFileHasMode0666LessTheUmask) {
    for (mode_t mask : {022, 077, 002}) {
        TempDir dir;
        const mode_t before = umask(mask);
        Status st = write_whole(dir.file("r.bmp"), Bytes(10, 'n'));
        umask(before);
        ASSERT_TRUE(st.ok()) << st.message;
        struct stat s;
        ASSERT_EQ(stat(dir.file("r.bmp").c_str(), &s), 0);
        EXPECT_EQ(s.st_mode & 0777, 0666 & ~mask) << "umask " << std::oct << mask;
    }
}

TEST(DurableFile, WriteCutShortIsReportedByCommitAndLeavesTheEarlierFile) {
    TempDir dir;
    const std::string path = dir.file("r.bmp");
    write_file(path, Bytes(100, 'e'));
    // A file-size limit makes the write fail part-way with EFBIG (SIGXFSZ ignored).
    rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    DurableFile f;
    Status created = f.create(path);
    const Bytes fresh(10000, 'n');
    const bool wrote = f.write(fresh.data(), fresh.size());
    const bool again = f.write(fresh.data(), 1);
    Status st = f.commit();
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, old_handler);
    ASSERT_TRUE(created.ok()) << created.message;
    EXPECT_FALSE(wrote);
    EXPECT_FALSE(again) << "a failure is kept";
    EXPECT_EQ(st.code, StatusCode::write_failed);
    EXPECT_EQ(st.message, "cannot write '" + path + "': " + std::strerror(EFBIG));
    EXPECT_EQ(read_file(path), Bytes(100, 'e'));
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.bmp"});
}
#endif

// Writes bytes as a result writer does: created, written, then handed to batch.
Status write_into(CommitBatch& batch, const std::string& path, const Bytes& bytes) {
    DurableFile f;
    Status st = f.create(path);
    if (!st.ok()) return st;
    f.write(bytes.data(), bytes.size());
    return batch.add(std::move(f));
}

TEST(CommitBatch, FilesAppearOnlyAtCommitEachWithItsOwnStatus) {
    TempDir dir;
    write_file(dir.file("a.bmp"), Bytes(5, 'e'));
    std::filesystem::create_directory(std::filesystem::u8path(dir.file("b.bmp")));
    std::vector<Status> statuses;
    {
        CommitBatch batch;
        EXPECT_TRUE(write_into(batch, dir.file("a.bmp"), Bytes(300, 'a')).ok());
        EXPECT_TRUE(write_into(batch, dir.file("b.bmp"), Bytes(300, 'b')).ok());
        EXPECT_TRUE(write_into(batch, dir.file("c.bmp"), Bytes(300, 'c')).ok());
        EXPECT_EQ(batch.size(), 3u);
        EXPECT_EQ(read_file(dir.file("a.bmp")), Bytes(5, 'e'));
        EXPECT_FALSE(file_exists(dir.file("c.bmp")));
        statuses = batch.commit();
        EXPECT_EQ(batch.size(), 0u);
    }
    ASSERT_EQ(statuses.size(), 3u);
    EXPECT_TRUE(statuses[0].ok()) << statuses[0].message;
    EXPECT_EQ(statuses[1].code, StatusCode::write_failed) << "a folder is in b.bmp's place";
    EXPECT_EQ(statuses[1].message.rfind("cannot write '" + dir.file("b.bmp") + "': ", 0), 0u)
        << statuses[1].message;
    EXPECT_TRUE(statuses[2].ok()) << statuses[2].message;
    EXPECT_EQ(read_file(dir.file("a.bmp")), Bytes(300, 'a'));
    EXPECT_EQ(read_file(dir.file("c.bmp")), Bytes(300, 'c'));
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
}

TEST(CommitBatch, FilesNotCommittedAreAbandonedWithTheirBatchAlone) {
    TempDir dir;
    write_file(dir.file("kept.bmp"), Bytes(5, 'e'));
    CommitBatch outer;
    {
        CommitBatch inner;
        EXPECT_TRUE(write_into(inner, dir.file("kept.bmp"), Bytes(30, 'n')).ok());
        EXPECT_TRUE(write_into(outer, dir.file("later.bmp"), Bytes(6, 'l')).ok());
        EXPECT_EQ(inner.size(), 1u);
        EXPECT_EQ(outer.size(), 1u);
    }
    EXPECT_EQ(read_file(dir.file("kept.bmp")), Bytes(5, 'e')) << "never committed";
    ASSERT_EQ(outer.size(), 1u) << "the other batch keeps its file";
    EXPECT_TRUE(outer.commit()[0].ok());
    EXPECT_EQ(read_file(dir.file("later.bmp")), Bytes(6, 'l'));
    EXPECT_EQ(names_in(dir), (std::vector<std::string>{"kept.bmp", "later.bmp"}));
}

TEST(CommitBatch, AFailedWriteIsReportedAtOnceAndNotHeld) {
    TempDir dir;
    CommitBatch batch;
    DurableFile never_created;
    EXPECT_EQ(batch.add(std::move(never_created)).code, StatusCode::write_failed);
    EXPECT_EQ(batch.size(), 0u);
    EXPECT_TRUE(names_in(dir).empty());
}

#ifndef _WIN32
// (Windows runs a death test's body again in a new process, with a folder of its own.)
TEST(CommitBatchDeathTest, FinishedFilesAreStillCommittedWhenTheProcessExitsAndOthersRemoved) {
    TempDir dir;
    EXPECT_EXIT(
        {
            CommitBatch batch;
            (void)write_into(batch, dir.file("done.bmp"), Bytes(1234, 'd'));
            DurableFile writing;
            (void)writing.create(dir.file("writing.bmp"));
            writing.write("w", 1);
            std::exit(1);  // as a fatal allocation failure part-way through a run ends it
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(read_file(dir.file("done.bmp")), Bytes(1234, 'd'));
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"done.bmp"});
}
#endif

}  // namespace
