#include "CliDiff.h"

#include "CliOperator.h"

#include "comms/TimeScale.h"
#include "db/Device.h"
#include "db/Terminal.h"
#include "doc/NodeComparison.h"
#include "doc/TornuCfgDoc.h"

#include <cstdlib>
#include <iostream>

namespace tornu::cli {

int RunDiff(CTornuCfgDoc& doc, const CTreeNode& node, std::ostream& out) {
    // Tests run the front end and the simulator at the same small scale.
    if (const char* scale = std::getenv("TORNU_TIME_SCALE"); scale && std::atof(scale) > 0)
        CTimeScale::Set(std::atof(scale));
    CNodeComparison comparison(doc.Workspace(), node.Terminal().Id(),
                               node.Device() ? node.Device()->Address() : -1);
    if (CResult started = comparison.Start(doc.Exchanges()); !started) {
        std::cerr << started.Error() << std::endl;
        return 2;
    }
    std::vector<ExchangeLogLine> lines;
    const auto print = [&] {
        for (const ExchangeLogLine& line : lines)
            std::cerr << line.time << "  " << line.text << '\n';
        lines.clear();
    };
    CExchangeMonitor& monitor = comparison.Monitor();
    while (!monitor.Poll(lines)) {
        print();
        if (g_interrupted) {
            std::cerr << "Отмена обмена..." << std::endl;
            monitor.Cancel();
        }
        monitor.Wait(100);
    }
    print();
    if (CResult read = comparison.Finish(); !read) {
        std::cerr << read.Error() << std::endl;
        return 2;
    }
    const std::vector<NodeDifference> differences = comparison.Differences();
    if (differences.empty()) {
        out << "Значения в базе и в приборе совпадают\n";
        return 0;
    }
    out << "Устройство\tЧто\tВ базе\tВ приборе\n";
    const int terminal = node.Terminal().Id();
    for (const NodeDifference& difference : differences) {
        out << terminal;
        if (difference.device >= 0)
            out << '/' << difference.device;
        out << '\t' << difference.what << '\t' << difference.stored << '\t' << difference.terminal
            << '\n';
    }
    return 1;
}

} // namespace tornu::cli
