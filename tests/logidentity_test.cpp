// What tells a followed log growing from a new run written over it.
#include "logidentity.h"

#include <fcntl.h>
#include <unistd.h>

#include "test_util.h"

TEST(LogIdentity, TellsAGrowingRunFromANewRunWrittenOverIt) {
    ScratchDir dir;
    std::string path = dir.File("run.dat");
    std::string run;
    for (int i = 0; i < 2000; ++i) run += Row(std::to_string(i));  // past the first probes
    WriteFile(path, Header() + run);
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    LogIdentity identity;
    identity.Open(fd);
    std::string bytes = ReadFile(path);
    identity.Read(bytes.data(), bytes.size());
    struct stat named;
    auto look = [&] {
        stat(path.c_str(), &named);
        return identity.IsFile(named) && identity.Unchanged(named);
    };
    EXPECT_FALSE(look());  // not yet noted
    identity.NoteChange(named);
    EXPECT_TRUE(look());
    EXPECT_EQ(identity.offset(), static_cast<std::int64_t>(bytes.size()));
    // Grown: changed, and still what was read.
    AppendFile(path, Row("5"));
    EXPECT_FALSE(look());
    identity.NoteChange(named);
    EXPECT_TRUE(identity.StillHolds(fd));
    // A field written over where a piece is kept, the end the same: a new run.
    std::string rewritten = Header() + run;
    rewritten.replace(LogIdentity::kFirstProbe * 8, 3, "9.5");
    WriteFile(path, rewritten + Row("5"));
    EXPECT_FALSE(identity.StillHolds(fd));
    // Cut shorter.
    WriteFile(path, Header() + run.substr(0, 100));
    EXPECT_FALSE(identity.StillHolds(fd));
    // Another file at the path.
    WriteFile(path + ".new", bytes);
    std::rename((path + ".new").c_str(), path.c_str());
    stat(path.c_str(), &named);
    EXPECT_FALSE(identity.IsFile(named));
    close(fd);
}
