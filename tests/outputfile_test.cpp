// Output files: a device, a FIFO or a socket is written into, never replaced; a directory is
// refused, and so is an output that is the log, whatever kind of file it is.
#include "outputfile.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

#include "sink.h"
#include "test_util.h"

namespace {
bool WriteData(const std::string& path, std::string* err) {
    Sink sink;
    return sink.Open(path, err) && sink.Write("data", 4) && sink.Close(err);
}
}  // namespace

TEST(OutputFile, ADeviceOrAFifoIsWrittenIntoNeverReplaced) {
    ScratchDir dir;
    std::string fifo = dir.File("f.png"), err;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A reader waits on it; what is written stays in the pipe's buffer till it reads.
    int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_TRUE(ReplaceFile(fifo, WriteData, &err)) << err;
    char received[8];
    EXPECT_EQ(read(reader, received, sizeof received), 4);
    close(reader);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));

    if (geteuid() == 0) {  // a device of our own, through a link
        ASSERT_EQ(mknod(dir.File("mynull").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
        std::filesystem::create_symlink("mynull", dir.File("out.png"));
        EXPECT_TRUE(ReplaceFile(dir.File("out.png"), WriteData, &err)) << err;
        EXPECT_TRUE(std::filesystem::is_character_file(dir.File("mynull")));
    }

    int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", dir.File("s.png").c_str());
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::filesystem::create_directory(dir.File("d.png"));
    for (auto [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"s.png", "No such device or address"}, {"d.png", "Is a directory"}}) {
        EXPECT_FALSE(ReplaceFile(dir.File(name), WriteData, &err));
        EXPECT_EQ(err, "plovo: cannot write '" + dir.File(name) + "': " + reason);
    }
    EXPECT_TRUE(std::filesystem::is_socket(dir.File("s.png")));
    close(listener);
    EXPECT_FALSE(CheckOutputsWritable({dir.File("d.png")}, &err));  // before the log is read
    EXPECT_EQ(err, "plovo: cannot write '" + dir.File("d.png") + "': Is a directory");
}

TEST(OutputFile, AnOutputThatIsTheLogIsRefusedWhateverKindOfFileItIs) {
    ScratchDir dir;
    std::string fifo = dir.File("log.png"), err;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("log.png", dir.File("out.png"));
    EXPECT_FALSE(CheckOutputsAreNotInputs({fifo}, {dir.File("out.png")}, &err));
    EXPECT_EQ(err, "plovo: cannot write '" + dir.File("out.png") +
                       "': it is the same file as the input '" + fifo + "'");
}
