#pragma once
// A document on a real database in a fresh folder with the sample catalogue,
// a scripted operator and a view that records what it is told.
#include "doc/ExchangeMonitor.h"
#include "doc/TornuCfgDoc.h"

#include "TestDatabase.h"
#include "TestUtil.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tornu::test {

// Answers from a script; an answer the script lacks fails the test and cancels.
class ScriptedOperator : public IOperator {
public:
    void Message(const std::string& text) override { messages.push_back(text); }
    bool Ask(const std::string& text) override {
        questions.push_back(text);
        return Next(answers).value_or(false);
    }
    ReplaceAnswer AskReplace(const std::string& text) override {
        questions.push_back(text);
        return Next(replaceAnswers).value_or(ReplaceAnswer::No);
    }
    std::optional<std::string> ChooseFolder(const std::string& initial) override {
        folderInitials.push_back(initial);
        return Next(folders).value_or(std::nullopt);
    }
    std::optional<std::string> AskPassword(PasswordMode mode) override {
        passwordModes.push_back(mode);
        return Next(passwords).value_or(std::nullopt);
    }
    std::optional<CommandChoice>
    ChooseCommands(const std::vector<CCommandDesc*>& offered) override {
        this->offered = offered;
        return choose ? choose(offered) : std::nullopt;
    }
    // Polls as the log window's timer would, calling `onPoll` at every tick.
    // With `beside` set the window stays open beside the main one: the watch
    // is kept for the test to poll, and the call returns at once.
    struct Watch {
        CExchangeMonitor* monitor;
        std::function<void(ExchangeLogEnd)> ended;
    };
    void WatchExchange(CExchangeMonitor& monitor,
                       const std::function<void(ExchangeLogEnd)>& ended) override {
        if (beside) {
            watches.push_back({&monitor, ended});
            return;
        }
        std::vector<ExchangeLogLine> lines;
        for (bool ended = false; !ended;) {
            ended = monitor.Poll(lines);
            if (onPoll)
                onPoll();
        }
        for (const ExchangeLogLine& line : lines)
            log.push_back(line.text);
        ended(ExchangeLogEnd::Closed);
    }
    void ShowCommandResults(const std::vector<CCommandDesc*>& commands) override {
        results = commands;
    }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> folderInitials;
    std::vector<PasswordMode> passwordModes;
    std::deque<bool> answers;
    std::deque<ReplaceAnswer> replaceAnswers;
    std::deque<std::optional<std::string>> folders;
    std::deque<std::optional<std::string>> passwords;
    std::function<std::optional<CommandChoice>(const std::vector<CCommandDesc*>&)> choose;
    std::function<void()> onPoll;
    bool beside = false;
    std::vector<Watch> watches;
    std::vector<CCommandDesc*> offered;
    std::vector<CCommandDesc*> results;
    std::vector<std::string> log;

private:
    template <class T> std::optional<T> Next(std::deque<T>& script) {
        if (script.empty()) {
            ADD_FAILURE() << "the operator was asked more than the script holds";
            return std::nullopt;
        }
        T answer = std::move(script.front());
        script.pop_front();
        return answer;
    }
};

// What an option view was told, in order.
enum class Told { Show, Changed, Deleting, Filled };

// Plays an option view: records what it is told and the node it shows.
class RecordingView : public IDocObserver {
public:
    void OnShowNode(CTreeNode* node) override {
        told.emplace_back(Told::Show, node);
        shown = node;
    }
    void OnNodeChanged(CTreeNode& node) override { told.emplace_back(Told::Changed, &node); }
    void OnNodeDeleting(CTreeNode& node) override {
        told.emplace_back(Told::Deleting, &node);
        if (shown == &node)
            shown = nullptr;
    }
    void OnTreeReset() override { told.emplace_back(Told::Filled, nullptr); }
    void OnPaneChanged(Pane p) override { pane = p; }

    std::vector<Told> Kinds() const {
        std::vector<Told> kinds;
        for (const auto& entry : told)
            kinds.push_back(entry.first);
        return kinds;
    }

    std::vector<std::pair<Told, CTreeNode*>> told;
    CTreeNode* shown = nullptr;
    Pane pane = Pane::Empty;
};

// Sample catalogue indexes.
enum HostIndex { kBm4 = 0, kBm16 = 1 };
enum BusIndex { kPartition8 = 0, kPartition16 = 1, kExpander = 2, kRelay = 3, kUniversal = 5 };

class DocTest : public ::testing::Test {
protected:
    DocTest() {
        WriteBytes(dir / kSettingsFileName,
                   ReadBytes(std::string(TORNU_SOURCE_DIR) + "/data/tornucfg.ini"));
        if (OnServer()) {
            CIniFile settings;
            EXPECT_TRUE(settings.Load(dir / kSettingsFileName));
            settings.SetValue(CConfigDatabase::kSection, "Connect", FreshServerDatabase());
            EXPECT_TRUE(settings.Save());
        }
    }

    CTornuCfgDoc& Start(bool started = true) {
        doc = std::make_unique<CTornuCfgDoc>(op, dir.Path());
        doc->Tree().AddObserver(view);
        EXPECT_EQ(doc->OnNewDocument(), started);
        return *doc;
    }
    void Restart() {
        doc.reset();
        Start();
    }

    // The terminal's item (the structure is shown).
    CTreeNode& AddTerminal(int id, int hostType = kBm4, int loops = 0) {
        EXPECT_TRUE(doc->Editor().NewTerminal({.number = std::to_string(id),
                                      .hostType = hostType,
                                      .loopCount = loops,
                                      .phone = "+7900",
                                      .password = "link"}));
        return Node(id);
    }
    CTreeNode& Node(int terminalId) { return *doc->Tree().Find(*doc->Workspace().FindTerminal(terminalId)); }
    CTreeNode& Node(int terminalId, int address) {
        return *doc->Tree().Find(*doc->Workspace().FindTerminal(terminalId)->FindDevice(address));
    }
    CTreeNode& AddDevice(CTreeNode& parent, int address, int busType, std::string name = {},
                         int loops = 0) {
        EXPECT_TRUE(doc->Editor().NewDevice(parent, {.address = address,
                                            .busType = busType,
                                            .loopCount = loops,
                                            .name = std::move(name),
                                            .password = "part"}));
        return *doc->Tree().Find(*parent.Terminal().FindDevice(address));
    }

    // The tree, two blanks of indent per level.
    std::vector<std::string> Outline() const {
        std::vector<std::string> lines;
        doc->Tree().ForEach([&](CTreeNode& node) {
            std::string indent;
            for (CTreeNode* up = node.Parent(); up; up = up->Parent())
                indent += "  ";
            lines.push_back(indent + std::string(node.Label()));
        });
        return lines;
    }

    std::vector<std::vector<std::string>> Rows(const std::string& statement) {
        std::vector<std::vector<std::string>> rows;
        EXPECT_TRUE(doc->Workspace().Database().Query(statement, rows)) << doc->Workspace().Database().LastError();
        return rows;
    }
    int Count(const std::string& table, const std::string& where = "1=1") {
        auto rows = Rows("SELECT COUNT(*) FROM " + table + " WHERE " + where);
        return rows.empty() ? -1 : std::stoi(rows[0][0]);
    }

    TempDir dir;
    ScriptedOperator op;
    RecordingView view;
    std::unique_ptr<CTornuCfgDoc> doc;
};

} // namespace tornu::test
