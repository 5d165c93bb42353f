#include "photofiles/SafeFile.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>
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

struct stat StatOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return st;
}

// Runs `body` in a child process and returns its exit status (-signal when killed), so
// that a test can change its user, its limits or its mounts, or die mid-save.
int InChild(const std::function<int()>& body) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// 0 when the save throws the write error, 1 when it succeeds, 2 for another message.
int SaveExpectingWriteError(const std::string& path, std::span<const std::uint8_t> bytes) {
  try {
    WriteFileReplacing(path, bytes);
  } catch (const Error& e) {
    return std::string(e.what()) == "ストリームへの書き込みエラー" ? 0 : 2;
  }
  return 1;
}

TEST(SafeFileTest, LinksStayLinksAndTheFileTheyNameIsReplaced) {
  test::TempDir dir;
  fs::create_directory(dir.File("photos"));
  const auto content = Pattern(3000, 4);
  const struct {
    const char* link;
    const char* points_to;  // relative targets are relative to the link's own folder
    const char* file;       // the file that must end up with the content
  } cases[] = {
      {"one", "photos/a.jpg", "photos/a.jpg"},
      {"chain", "one", "photos/a.jpg"},                         // a link to a link
      {"photos/up", "../b.jpg", "b.jpg"},                       // relative, from another folder
      {"dangling", "photos/created.jpg", "photos/created.jpg"},  // creates its target
  };
  WriteFileReplacing(dir.File("photos/a.jpg"), Pattern(10, 1));
  WriteFileReplacing(dir.File("b.jpg"), Pattern(10, 2));
  for (const auto& c : cases) fs::create_symlink(c.points_to, dir.File(c.link));
  for (const auto& c : cases) {
    WriteFileReplacing(dir.File(c.link), content);
    EXPECT_TRUE(fs::is_symlink(dir.File(c.link))) << c.link;
    EXPECT_EQ(fs::read_symlink(dir.File(c.link)), c.points_to) << c.link;
    EXPECT_EQ(ReadAll(dir.File(c.file)), content) << c.link;
  }
  EXPECT_EQ(EntriesIn(dir.path()), 5u);  // photos, b.jpg and three of the links
  EXPECT_EQ(EntriesIn(dir.File("photos")), 3u);
}

TEST(SafeFileTest, FileWithSeveralNamesIsRewrittenInPlace) {
  test::TempDir dir;
  const std::string path = dir.File("a.bmp");
  const std::string other = dir.File("also-a.bmp");
  WriteFileReplacing(path, Pattern(5000, 1));
  ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
  const ino_t inode = StatOf(path).st_ino;
  for (std::size_t size : {20000u, 7u}) {  // longer, then shorter: nothing old may remain
    const auto content = Pattern(size, static_cast<std::uint8_t>(size));
    WriteFileReplacing(other, content);
    EXPECT_EQ(ReadAll(path), content);
    EXPECT_EQ(StatOf(path).st_ino, inode);
    EXPECT_EQ(StatOf(path).st_nlink, 2u);
  }
  EXPECT_EQ(EntriesIn(dir.path()), 2u);
}

// A writable file in a folder the user may not write to is still saved (in place). Root
// may write anywhere, so as root the save runs as the unprivileged user "nobody".
TEST(SafeFileTest, WritableFileInReadOnlyFolderIsSaved) {
  test::TempDir dir;
  const std::string folder = dir.File("shared");
  fs::create_directory(folder);
  const std::string path = folder + "/photo.jpg";
  WriteFileReplacing(path, Pattern(100, 1));
  const bool root = ::geteuid() == 0;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(path.c_str(), root ? 0666 : 0644), 0);
  const ino_t inode = StatOf(path).st_ino;
  const auto content = Pattern(4000, 9);
  const int status = InChild([&] {
    if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 3;
    if (::access(folder.c_str(), W_OK) == 0) return 4;  // the folder must really be read-only
    try {
      WriteFileReplacing(path, content);
    } catch (const Error&) {
      return 1;
    }
    return 0;
  });
  ::chmod(folder.c_str(), 0755);
  if (status == 4) GTEST_SKIP() << "this user may write to any folder";
  ASSERT_EQ(status, 0) << "1: save refused, 3: could not become nobody";
  EXPECT_EQ(ReadAll(path), content);
  EXPECT_EQ(StatOf(path).st_ino, inode);
  EXPECT_EQ(EntriesIn(folder), 1u);
}

// Running out of room, whether the new file goes beside the old one or the old one is
// rewritten in place, fails before the old bytes are touched. The file size limit stands
// in for a full disk for any user; as root a real, tiny file system fills up as well.
TEST(SafeFileTest, FullDiskLeavesTheOldFileWhole) {
  test::TempDir dir;
  const auto old_content = Pattern(3000, 3);
  const auto big = Pattern(256 * 1024, 5);
  const auto check = [&](const std::string& folder, bool hard_linked, const std::function<bool()>& fill) {
    const std::string path = folder + "/old.bmp";
    WriteFileReplacing(path, old_content);
    if (hard_linked) {
      ASSERT_EQ(::link(path.c_str(), (folder + "/twin.bmp").c_str()), 0);
    }
    const int status = InChild([&] { return fill() ? SaveExpectingWriteError(path, big) : 3; });
    EXPECT_EQ(status, 0) << folder << " hard_linked=" << hard_linked << " (1: no error, 2: other message)";
    EXPECT_EQ(ReadAll(path), old_content);
    EXPECT_EQ(EntriesIn(folder), hard_linked ? 2u : 1u);
  };
  const auto size_limit = [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64 * 1024, 64 * 1024};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  };
  for (bool hard_linked : {false, true}) {
    const std::string folder = dir.File(hard_linked ? "linked" : "plain");
    fs::create_directory(folder);
    check(folder, hard_linked, size_limit);
  }
  if (::geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  for (bool hard_linked : {false, true}) {
    const std::string folder = dir.File(hard_linked ? "tiny-linked" : "tiny");
    fs::create_directory(folder);
    // The save runs in a mount namespace of its own, where `folder` is a 64 KiB tmpfs.
    const auto mount_tiny = [&] {
      return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
             ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
    };
    const int status = InChild([&] {
      if (!mount_tiny()) return 3;
      check(folder, hard_linked, [] { return true; });
      return ::testing::Test::HasFailure() ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "3: could not mount the small file system";
  }
}

// A save killed after its new content is complete but before it takes the target's name
// leaves the folder as it was: the old file whole, no temporary file.
TEST(SafeFileTest, KilledSaveLeavesNothingBehind) {
  test::TempDir dir;
  const std::string existing = dir.File("old.jpg");
  const auto old_content = Pattern(2000, 6);
  WriteFileReplacing(existing, old_content);
  for (const std::string& path : {existing, dir.File("new.jpg")}) {
    const int status = InChild([&] {
      detail::SetSaveCheckpointForTesting([] { ::raise(SIGKILL); });
      WriteFileReplacing(path, Pattern(50000, 7));
      return 0;
    });
    EXPECT_EQ(status, -SIGKILL) << path;
    EXPECT_EQ(EntriesIn(dir.path()), 1u) << path;
    EXPECT_EQ(ReadAll(existing), old_content);
  }
}

// A POSIX access control list as the kernel stores it: version 2, then entries of tag,
// permissions and id (little-endian). Here: owner rw, user 4242 r, group r, mask r.
std::vector<char> SampleAccessList() {
  const std::uint32_t version = 2;
  struct Entry {
    std::uint16_t tag, permissions;
    std::uint32_t id;
  };
  const Entry entries[] = {{0x01, 6, ~0u}, {0x02, 4, 4242}, {0x04, 4, ~0u}, {0x10, 4, ~0u}, {0x20, 0, ~0u}};
  std::vector<char> list(sizeof version + sizeof entries);
  std::memcpy(list.data(), &version, sizeof version);
  std::memcpy(list.data() + sizeof version, entries, sizeof entries);
  return list;
}

std::vector<char> AttributeOf(const std::string& path, const char* name) {
  std::vector<char> value(256);
  const ssize_t n = ::getxattr(path.c_str(), name, value.data(), value.size());
  value.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return value;
}

TEST(SafeFileTest, ReplacedFileKeepsOwnerAttributesAndAccessList) {
  test::TempDir dir;
  const std::string path = dir.File("photo.jpg");
  WriteFileReplacing(path, Pattern(100, 1));
  const std::string note = "taken at the lake";
  if (::setxattr(path.c_str(), "user.comment", note.data(), note.size(), 0) != 0)
    GTEST_SKIP() << "this file system keeps no extended attributes";
  const auto acl = SampleAccessList();
  const bool has_acl = ::setxattr(path.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0) == 0;
  const bool root = ::geteuid() == 0;
  if (root) {
    ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  }
  const struct stat before = StatOf(path);

  WriteFileReplacing(path, Pattern(200, 2));
  const struct stat after = StatOf(path);
  EXPECT_NE(after.st_ino, before.st_ino);  // replaced, not rewritten
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(AttributeOf(path, "user.comment"), std::vector<char>(note.begin(), note.end()));
  if (has_acl) {
    EXPECT_EQ(AttributeOf(path, "system.posix_acl_access"), acl);
  }
}

// Targets that can never be written are refused with a message that says why, and nothing
// is written anywhere.
TEST(SafeFileTest, ImpossibleTargetsAreRefusedClearly) {
  test::TempDir dir;
  fs::create_directory(dir.File("folder"));
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  fs::create_symlink("loop", dir.File("loop"));
  const std::string long_name(300, 'n');
  std::string long_path = dir.path().string();
  while (long_path.size() < 5000) long_path += "/abcdefghij";
  const struct {
    std::string path;
    std::string message;
  } cases[] = {
      {dir.File("folder"), "ファイル " + dir.File("folder") + " を作成できません（フォルダです）"},
      {dir.File("folder/"), "ファイル " + dir.File("folder/") + " を作成できません（フォルダです）"},
      {dir.File("missing/x.jpg"), "ファイル " + dir.File("missing/x.jpg") + " を作成できません"},
      {dir.File(long_name), "ファイル " + dir.File(long_name) + " を作成できません（名前が長すぎます）"},
      {long_path + "/x.jpg", "ファイル " + long_path + "/x.jpg を作成できません（名前が長すぎます）"},
      {dir.File("bad\xff\xfe.jpg"),
       "ファイル " + dir.File("bad\\xFF\\xFE.jpg") + " を作成できません（名前が UTF-8 の文字として読めません）"},
      {dir.File("pipe"), "ファイル " + dir.File("pipe") + " を作成できません（通常のファイルではありません）"},
      {dir.File("loop"), "ファイル " + dir.File("loop") + " を作成できません（シンボリックリンクをたどれません）"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageOf(c.path, Pattern(4, 0)), c.message) << c.path;
  EXPECT_EQ(EntriesIn(dir.path()), 3u);
  EXPECT_TRUE(fs::is_empty(dir.File("folder")));
}

}  // namespace
}  // namespace zumo
