// Saving replaces a drawing file as a careful editor does: through its
// links, never over a special file, keeping its mode and owner, by way of a
// temporary file no other file shares and that no failure leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "dxf/dxf_document_writer.h"
#include "dxf/dxf_file_replacement.h"
#include "dxf/dxf_skeleton.h"
#include "tests/dxf/dxf_test_support.h"

namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, so that its listing is the test's.
std::string folder(const std::string& name) {
  const std::string path = dxftest::scratchPath("replace-" + name);
  fs::remove_all(path);
  fs::create_directory(path);
  return path;
}

std::set<std::string> listing(const std::string& path) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(path))
    names.insert(entry.path().filename().string());
  return names;
}

dxf::Document drawing() {
  dxf::Document document;
  dxf::completeSkeleton(document);
  return document;
}

bool save(const std::string& path, std::string& message) {
  text::Error error;
  const bool saved = dxf::writeDocumentFile(drawing(), path, error);
  message = error.text();
  return saved;
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(FileReplacement, ALinkIsFollowedToTheFileItLeadsToAndStays) {
  const std::string dir = folder("links");
  fs::create_directory(dir + "/shared");
  dxftest::writeFile(dir + "/shared/drawing.dxf", "old");
  // A chain: an absolute link to a relative one to the file.
  fs::create_symlink("shared/drawing.dxf", dir + "/near.dxf");
  fs::create_symlink(dir + "/near.dxf", dir + "/project.dxf");
  std::string message;
  ASSERT_TRUE(save(dir + "/project.dxf", message)) << message;
  EXPECT_TRUE(fs::is_symlink(dir + "/project.dxf"));
  EXPECT_TRUE(fs::is_symlink(dir + "/near.dxf"));
  EXPECT_TRUE(dxftest::readFile(dir + "/shared/drawing.dxf") ==
              dxf::writeDocument(drawing()));
  EXPECT_EQ(listing(dir),
            (std::set<std::string>{"near.dxf", "project.dxf", "shared"}));
  EXPECT_EQ(listing(dir + "/shared"), std::set<std::string>{"drawing.dxf"});
}

TEST(FileReplacement, ALinkToNothingOrALoopIsRefusedWithItsReason) {
  const std::string dir = folder("bad-links");
  fs::create_symlink("gone.dxf", dir + "/dangling.dxf");
  fs::create_symlink("dangling.dxf", dir + "/to-dangling.dxf");
  fs::create_symlink("b.dxf", dir + "/a.dxf");
  fs::create_symlink("a.dxf", dir + "/b.dxf");
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"dangling.dxf", "it is a symbolic link to \"" + dir +
                           "/gone.dxf\", which does not exist"},
      {"to-dangling.dxf", "it is a symbolic link to \"" + dir +
                              "/gone.dxf\", which does not exist"},
      {"a.dxf",
       "its symbolic links go round in a loop (Too many levels of "
       "symbolic links)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string message;
    EXPECT_FALSE(save(dir + "/" + c.name, message));
    EXPECT_EQ(message, c.message);
  }
  EXPECT_EQ(listing(dir),
            (std::set<std::string>{"a.dxf", "b.dxf", "dangling.dxf",
                                   "to-dangling.dxf"}));
}

TEST(FileReplacement, ASpecialFileIsRefusedAndLeftAsItWas) {
  const std::string dir = folder("special");
  ASSERT_EQ(::mkfifo((dir + "/pipe").c_str(), 0600), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(sock, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = dir + "/socket";
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address),
            0);
  std::vector<std::string> nodes = {"pipe", "socket"};
  // A device like /dev/full, made here: only where the system lets us.
  if (::mknod((dir + "/device").c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0)
    nodes.push_back("device");
  fs::create_symlink("pipe", dir + "/to-pipe");
  nodes.push_back("to-pipe");
  for (const std::string& node : nodes) {
    SCOPED_TRACE(node);
    struct stat before, after;
    ASSERT_EQ(::lstat((dir + "/" + node).c_str(), &before), 0);
    std::string message;
    EXPECT_FALSE(save(dir + "/" + node, message));
    EXPECT_EQ(message, "not a regular file");
    ASSERT_EQ(::lstat((dir + "/" + node).c_str(), &after), 0);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_ino, before.st_ino);
  }
  ::close(sock);
  std::set<std::string> names(nodes.begin(), nodes.end());
  EXPECT_EQ(listing(dir), names);
  if (nodes.size() < 4) GTEST_SKIP() << "no device node may be made here";
}

TEST(FileReplacement, TheFileKeepsItsModeAndOwner) {
  const std::string dir = folder("modes");
  for (const mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755)}) {
    SCOPED_TRACE(mode);
    const std::string path = dir + "/drawing.dxf";
    dxftest::writeFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
    std::string message;
    ASSERT_TRUE(save(path, message)) << message;
    EXPECT_EQ(modeOf(path), mode);
  }
  // A new file gets what the umask leaves of 666.
  const mode_t mask = ::umask(027);
  std::string message;
  ASSERT_TRUE(save(dir + "/new.dxf", message)) << message;
  ::umask(mask);
  EXPECT_EQ(modeOf(dir + "/new.dxf"), mode_t(0640));

  if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file away";
  const std::string path = dir + "/drawing.dxf";
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(save(path, message)) << message;
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
}

TEST(FileReplacement, TheTemporaryFileIsNoOneElsesAndNeverStays) {
  const std::string dir = folder("temporary");
  const std::string path = dir + "/drawing.dxf";
  // The user's own files with the names a fixed scheme would take.
  dxftest::writeFile(path + ".part", "mine");
  dxftest::writeFile(path + ".tmp", "mine too");
  std::string message;
  ASSERT_TRUE(save(path, message)) << message;
  EXPECT_EQ(dxftest::readFile(path + ".part"), "mine");
  EXPECT_EQ(dxftest::readFile(path + ".tmp"), "mine too");
  const std::set<std::string> files = {"drawing.dxf", "drawing.dxf.part",
                                       "drawing.dxf.tmp"};
  EXPECT_EQ(listing(dir), files);

  // Failures after the temporary file was made: the replacement dropped
  // half way, and a rename refused because a folder took the file's place.
  {
    dxf::FileReplacement dropped;
    text::Error error;
    ASSERT_TRUE(dropped.begin(path, error)) << error.text();
    ASSERT_TRUE(dropped.write("half", 4, error)) << error.text();
    EXPECT_EQ(listing(dir).size(), files.size() + 1);
  }
  EXPECT_EQ(listing(dir), files);
  const std::string later = dir + "/later.dxf";
  dxf::FileReplacement refused;
  text::Error error;
  ASSERT_TRUE(refused.begin(later, error)) << error.text();
  fs::create_directory(later);
  fs::create_directory(later + "/inside");
  EXPECT_FALSE(refused.commit(error));
  EXPECT_EQ(error.text().rfind("cannot replace \"" + later + "\": ", 0), 0u)
      << error.text();
  std::set<std::string> withFolder = files;
  withFolder.insert("later.dxf");
  EXPECT_EQ(listing(dir), withFolder);
}

}  // namespace
