#pragma once
// The monitoring station's side of the import: whether its server runs (it
// must not while its table is read) and where the station is installed.
#include <string>
#include <string_view>

namespace tornu {

// The station's server holds a named POSIX semaphore of this name while it runs.
inline constexpr std::string_view kStationServerLock = "TornuServerLockMutex";

// True when the named semaphore exists. It is only probed, never created: a
// semaphore left behind by the probe would outlive this program and lock the
// import out for good.
bool IsStationServerRunning(std::string_view name = kStationServerLock);

// The station's folder offered first to the operator: TORNU_INSTALL_DIR, or
// empty when it is not set.
std::string StationInstallDir();

} // namespace tornu
