#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <string>

#include "platform/Files.h"

namespace kavtest {

// Runs `save` in a child process that is killed (SIGKILL) the moment an
// atomic write has its temporary file complete, just before the rename: the
// worst moment for a crash. Returns the path of that temporary file.
inline std::string runKilledBeforeRename(const std::function<void()>& save) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        platform::files::setAtomicWriteHook([&](const std::filesystem::path& temporary) {
            const std::string name = temporary.string();
            (void)!write(fds[1], name.data(), name.size());
            close(fds[1]);
            raise(SIGKILL);
        });
        save();
        _exit(0);  // only when no atomic write happened
    }
    close(fds[1]);
    std::string temporary;
    char buf[512];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
        temporary.append(buf, n);
    close(fds[0]);
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the save never ran";
    return temporary;
}

}  // namespace kavtest
