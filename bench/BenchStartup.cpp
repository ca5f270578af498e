// The desktop program started on a folder, as an operator starts it: the
// time from the process's start until its tree is shown and painted, printed
// as "tree_shown_ms=<ms> items=<tree items>", and then it ends. bench_db runs
// it on its generated folder and takes its peak memory.
//
//   QT_QPA_PLATFORM=offscreen bench_startup FOLDER
#include "doc/TornuCfgDoc.h"
#include "ui/MainFrame.h"
#include "ui/ModalRunner.h"
#include "ui/QtOperator.h"
#include "ui/TerminalView.h"

#include <QApplication>
#include <QTreeView>

#include <chrono>
#include <cstdio>
#include <filesystem>

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_startup FOLDER\n");
        return 2;
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::error_code ec;
    std::filesystem::current_path(argv[1], ec);
    if (ec)
        return 2;
    tornu::ui::CModalRunner runner;
    tornu::ui::CQtOperator op(runner);
    tornu::CTornuCfgDoc doc(op, std::filesystem::current_path());
    tornu::ui::CMainFrame frame(doc, op);
    if (!frame.Start())
        return 1;
    frame.resize(1280, 860);
    frame.show();
    QApplication::processEvents();
    frame.TreePane().Tree()->repaint();
    QApplication::processEvents();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::size_t items = 0;
    doc.Tree().ForEach([&](tornu::CTreeNode&) { ++items; });
    std::printf("tree_shown_ms=%.0f items=%zu\n", ms, items);
    doc.OnCloseDocument();
    return 0;
}
