// The temporary files: never left behind, even by a signal right as one is created.
#include "tempfiles.h"

#include <dlfcn.h>

#include <csignal>

#include "signals.h"
#include "test_util.h"

// This binary's mkstemps: the C library's, then, when asked, a signal right as it returns.
namespace {
int signalAfterCreate = 0;
}
extern "C" int mkstemps(char* pattern, int suffix) {
    using Create = int (*)(char*, int);
    static Create create = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "mkstemps"));
    int fd = create(pattern, suffix);
    if (signalAfterCreate != 0) raise(signalAfterCreate);
    return fd;
}

TEST_F(PlovoTest, ASignalAsATempFileIsCreatedStillRemovesIt) {
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        pid_t child = fork();
        if (child == 0) {
            InstallSignalHandlers();
            signalAfterCreate = number;
            std::string path, error;
            int fd = -1;
            CreatePrivateFile(".dat", &fd, &path, &error);
            _exit(0);
        }
        int status;
        waitpid(child, &status, 0);
        EXPECT_EQ(ExitStatus(status), 128 + number);
        EXPECT_TRUE(tmp.Entries().empty()) << number;
    }
}
