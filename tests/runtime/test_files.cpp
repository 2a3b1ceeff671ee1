#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "files.h"

namespace kivo::runtime {
namespace {

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kivo_files_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string dir_;
};

TEST_F(FilesTest, WriteThenReadRoundTripsEveryByte) {
    std::string path = dir_ + "/本地列表.ini";
    std::string binary("a\0b\r\n\xFF", 6);
    EXPECT_EQ(writeWholeFile(path, {"/音乐/我爱你.mp3\r\n", binary}), 1);
    EXPECT_EQ(readWholeFile(path), "/音乐/我爱你.mp3\r\n" + binary);
    // Writing again truncates.
    EXPECT_EQ(writeWholeFile(path, {"x"}), 1);
    EXPECT_EQ(readWholeFile(path), "x");
    EXPECT_EQ(writeWholeFile(path, {}), 1);
    EXPECT_EQ(readWholeFile(path), "");
}

TEST_F(FilesTest, MissingOrUnreadableFilesReadAsNothing) {
    EXPECT_EQ(readWholeFile(dir_ + "/missing.ini"), "");
    EXPECT_EQ(readWholeFile(dir_), "");  // a folder is no file
    EXPECT_EQ(readWholeFile(""), "");
    // A pipe with no writer would block the caller for good; a device never ends.
    ASSERT_EQ(mkfifo((dir_ + "/fifo.ini").c_str(), 0600), 0);
    EXPECT_EQ(readWholeFile(dir_ + "/fifo.ini"), "");
    EXPECT_EQ(readWholeFile("/dev/zero"), "");
}

TEST_F(FilesTest, WritesThatCannotHappenReportFailure) {
    std::string file = dir_ + "/plain";
    ASSERT_EQ(writeWholeFile(file, {"x"}), 1);
    EXPECT_EQ(writeWholeFile(file + "/below-a-file.ini", {"x"}), 0);
    EXPECT_EQ(writeWholeFile(dir_ + "/no/such/folder.ini", {"x"}), 0);
    EXPECT_EQ(writeWholeFile(dir_, {"x"}), 0);  // a folder
}

TEST_F(FilesTest, UnwritableFolderReportsFailure) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    std::string locked = dir_ + "/locked";
    ASSERT_TRUE(createDirectory(locked));
    ASSERT_EQ(chmod(locked.c_str(), 0500), 0);
    EXPECT_EQ(writeWholeFile(locked + "/list.ini", {"x"}), 0);
    chmod(locked.c_str(), 0700);
}

TEST(FilesFullDiskTest, AFullDiskIsAFailureNotASuccess) {
    // /dev/full accepts the open and refuses every byte, as a full disk does.
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    EXPECT_EQ(writeWholeFile("/dev/full", {"some bytes"}), 0);
}

TEST_F(FilesTest, CreateDirectoryMakesOneLevel) {
    EXPECT_TRUE(createDirectory(dir_ + "/music"));
    EXPECT_FALSE(createDirectory(dir_ + "/music"));  // exists
    EXPECT_FALSE(createDirectory(dir_ + "/a/b"));    // parent missing
    struct stat info {};
    EXPECT_EQ(stat((dir_ + "/music").c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

}  // namespace
}  // namespace kivo::runtime
