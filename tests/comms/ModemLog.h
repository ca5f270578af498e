#pragma once
// The modem log's lines without their time stamps, each checked for its
// "[dd.mm.yyyy hh:mm:ss] - " start and its CR LF end.
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tornu::test {

inline std::vector<std::string> ModemLogLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
    const std::string stampEnd = "] - ";
    for (std::string line; std::getline(in, line, '\n');) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
        const std::size_t at = line.find(stampEnd);
        EXPECT_EQ(at, 20u) << line;
        lines.push_back(line.substr(at + stampEnd.size(), line.size() - at - stampEnd.size() - 1));
    }
    return lines;
}

} // namespace tornu::test
