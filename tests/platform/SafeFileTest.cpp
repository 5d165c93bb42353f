#include "platform/SafeFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/Error.h"
#include "support/TestPictures.h"

namespace zumo {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

std::size_t EntriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

std::string MessageOf(const std::string& path, std::span<const std::uint8_t> bytes) {
  try {
    WriteFileReplacing(path, bytes);
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

TEST(SafeFileTest, CreatesAndReplacesWithExactContentAndNoLeftovers) {
  test::TempDir dir;
  const std::string path = dir.File("picture.bmp");
  const auto first = Pattern(100000, 1);
  WriteFileReplacing(path, first);
  EXPECT_EQ(ReadAll(path), first);

  const auto second = Pattern(17, 9);  // shorter: nothing of the old content may remain
  WriteFileReplacing(path, second);
  EXPECT_EQ(ReadAll(path), second);

  WriteFileReplacing(path, {});
  EXPECT_TRUE(ReadAll(path).empty());
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(SafeFileTest, NewFileFollowsUmaskAndExistingFileKeepsItsMode) {
  test::TempDir dir;
  const mode_t old_mask = ::umask(027);
  const std::string fresh = dir.File("fresh");
  WriteFileReplacing(fresh, Pattern(10, 0));
  ::umask(old_mask);
  EXPECT_EQ(ModeOf(fresh), 0640u);

  const std::string kept = dir.File("kept");
  WriteFileReplacing(kept, Pattern(10, 0));
  ASSERT_EQ(::chmod(kept.c_str(), 0604), 0);
  WriteFileReplacing(kept, Pattern(20, 1));
  EXPECT_EQ(ModeOf(kept), 0604u);
}

TEST(SafeFileTest, UncreatableTargetsAreReportedWithThePath) {
  test::TempDir dir;
  const std::string missing_folder = dir.File("no-such-folder/out.bmp");
  EXPECT_EQ(MessageOf(missing_folder, Pattern(4, 0)), "ファイル " + missing_folder + " を作成できません");

  // A path "inside" a plain file cannot be created, even by root.
  const std::string plain = dir.File("plain");
  WriteFileReplacing(plain, Pattern(4, 0));
  const std::string under_file = plain + "/out.bmp";
  EXPECT_EQ(MessageOf(under_file, Pattern(4, 0)), "ファイル " + under_file + " を作成できません");

  // A folder in the way is not replaced.
  fs::create_directory(dir.File("folder"));
  EXPECT_NE(MessageOf(dir.File("folder"), Pattern(4, 0)), "");
  EXPECT_TRUE(fs::is_directory(dir.File("folder")));
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

TEST(SafeFileTest, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "permission bits do not bind the superuser";
  test::TempDir dir;
  const std::string path = dir.File("locked.bmp");
  const auto content = Pattern(10, 2);
  WriteFileReplacing(path, content);
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(MessageOf(path, Pattern(20, 3)), "ファイル " + path + " を作成できません");
  EXPECT_EQ(ReadAll(path), content);
}

// A write that runs out of room (here the file size limit, as a full disk would) fails
// with the write error, leaves the old file whole and removes the temporary file.
TEST(SafeFileTest, ShortWriteKeepsOldFileAndRemovesTemporary) {
  test::TempDir dir;
  const std::string path = dir.File("old.bmp");
  const auto old_content = Pattern(1000, 3);
  WriteFileReplacing(path, old_content);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
    const auto big = Pattern(64 * 1024, 5);
    try {
      WriteFileReplacing(path, big);
    } catch (const Error& e) {
      ::_exit(std::string(e.what()) == "ストリームへの書き込みエラー" ? 0 : 2);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error reported, 2: wrong message, 3: setrlimit failed";
  EXPECT_EQ(ReadAll(path), old_content);
  EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

}  // namespace
}  // namespace zumo
