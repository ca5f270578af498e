#pragma once
// The one way the program writes a moment for the operator: the local time
// as "dd.mm.yyyy hh:mm:ss" (the exchange log, the modem log, a device's last
// exchange); and, where the database sorts moments as text, as
// "yyyy-mm-dd hh:mm:ss".
#include <ctime>
#include <string>

namespace tornu {

// The computer's local time at `when`.
std::tm LocalTime(std::time_t when);

// "31.12.2024 23:59:07"
std::string TimeStamp(const std::tm& local);
inline std::string TimeStamp(std::time_t when) { return TimeStamp(LocalTime(when)); }

// "2024-12-31 23:59:07"
std::string SortableTimeStamp(std::time_t when);

} // namespace tornu
