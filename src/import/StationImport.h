#pragma once
// The import of the monitoring station's data: the phone number and the link
// password of every terminal that both the station's table and the
// configuration know, matched by terminal number. Terminals are never
// created or deleted; each value is written through as it is applied.
#include "db/Terminal.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

inline constexpr const char* kStationServerRunningMessage =
    "Для того чтобы импортировать данные необходимо выгрузить сервер системы Торну";
inline constexpr const char* kStationTableOpenFailedMessage =
    "Невозможно открыть файл таблицы устройств: ";

struct StationImportResult {
    bool opened = false; // false: the table could not be opened, nothing imported
    int count = 0;       // records applied to a known terminal, repeats included
    // Phones and passwords left as they were: they hold a character that
    // would break a message (IsMessageSafe).
    int skipped = 0;
    // Phones and passwords left as they were: longer than their column;
    // `tooLongWhy` names the first one's field and limit.
    int tooLong = 0;
    std::string tooLongWhy;
    // Records of a known terminal whose values could not be written, not
    // counted above; `failure` is the database's text of the first.
    int failed = 0;
    std::string failure;
    std::string path; // the table file
};

// "Импортированы данные по %d устройствам", and when values were skipped
// ". Пропущено значений с недопустимыми символами: %d", ". Пропущено
// слишком длинных значений: %d (<field and limit>)", and when records could
// not be written ". Не записаны в базу данных: %d (<the database's text>)".
std::string StationImportedMessage(const StationImportResult& result);

// Applies every record of the table in `folder` in file order, so that of two
// records with the same number the later one wins.
StationImportResult ImportStationData(std::string_view folder,
                                      const std::vector<std::unique_ptr<CTerminal>>& terminals);

} // namespace tornu
