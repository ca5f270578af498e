#include "import/StationServer.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <semaphore.h>

namespace tornu {

bool IsStationServerRunning(std::string_view name) {
    const std::string semaphore = std::string(1, '/').append(name);
    sem_t* handle = sem_open(semaphore.c_str(), 0);
    if (handle == SEM_FAILED)
        return errno == EACCES; // it exists, only not for us
    sem_close(handle);
    return true;
}

std::string StationInstallDir() {
    const char* dir = std::getenv("TORNU_INSTALL_DIR");
    return dir ? dir : "";
}

} // namespace tornu
