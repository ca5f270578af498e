#include "import/StationServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

using namespace tornu;

namespace {

// A semaphore name no other test run uses.
std::string UniqueName() {
    static std::atomic<int> counter{0};
    return "TornuTest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
}

bool SemaphoreExists(const std::string& name) {
    sem_t* handle = sem_open(("/" + name).c_str(), 0);
    if (handle == SEM_FAILED)
        return false;
    sem_close(handle);
    return true;
}

} // namespace

TEST(StationServer, ProbeSeesSemaphoreWhileItExists) {
    const std::string name = UniqueName();
    EXPECT_FALSE(IsStationServerRunning(name));
    // The probe must not leave a semaphore behind.
    EXPECT_FALSE(SemaphoreExists(name));

    sem_t* server = sem_open(("/" + name).c_str(), O_CREAT | O_EXCL, 0600, 1);
    ASSERT_NE(server, SEM_FAILED);
    EXPECT_TRUE(IsStationServerRunning(name));
    EXPECT_TRUE(IsStationServerRunning(name)); // probing twice changes nothing

    sem_close(server);
    EXPECT_TRUE(IsStationServerRunning(name)); // named until unlinked
    sem_unlink(("/" + name).c_str());
    EXPECT_FALSE(IsStationServerRunning(name));
}
