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
    ExchangeLogEnd RunExchangeLog(CExchangeMonitor& monitor) override {
        std::vector<ExchangeLogLine> lines;
        for (bool ended = false; !ended;) {
            ended = monitor.Poll(lines);
            if (onPoll)
                onPoll();
        }
        for (const ExchangeLogLine& line : lines)
            log.push_back(line.text);
        return ExchangeLogEnd::Closed;
    }
    void ShowCommandResults(const std::vector<CCommandDesc*>& commands) override {
        results = commands;
    }

    std::vector<std::string> messages;
    std::vector<std::string> questions;
    std::vector<std::string> folderInitials;
    std::vector<PasswordMode> passwordModes;
    std::deque<bool> answers;
    std::deque<std::optional<std::string>> folders;
    std::deque<std::optional<std::string>> passwords;
    std::function<std::optional<CommandChoice>(const std::vector<CCommandDesc*>&)> choose;
    std::function<void()> onPoll;
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

// Plays the tree (its current item) and an option view (the node it shows).
class RecordingView : public IDocObserver {
public:
    void OnUpdate(UpdateHint hint, CTreeNode* node, CTreeNode** slot) override {
        hints.emplace_back(hint, node);
        if (hint == kHintCurrentNode && current)
            *slot = current;
        if (hint == kHintShowNode)
            shown = node;
        if (hint == kHintNodeDeleting && shown == node)
            shown = nullptr;
        if (hint == kHintClearTree)
            current = nullptr;
    }
    void OnPaneChanged(Pane p) override { pane = p; }
    void OnItemRemoving(CTreeNode& node) override {
        for (CTreeNode* item = current; item; item = item->Parent())
            if (item == &node)
                current = nullptr;
    }

    std::vector<int> HintNumbers() const {
        std::vector<int> numbers;
        for (const auto& hint : hints)
            numbers.push_back(hint.first);
        return numbers;
    }

    std::vector<std::pair<UpdateHint, CTreeNode*>> hints;
    CTreeNode* current = nullptr;
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
            settings.Load(dir / kSettingsFileName);
            settings.SetValue(CConfigDatabase::kSection, "Connect", FreshServerDatabase());
            settings.Save();
        }
    }

    CTornuCfgDoc& Start(bool started = true) {
        doc = std::make_unique<CTornuCfgDoc>(op, dir.Path());
        doc->AddObserver(view);
        EXPECT_EQ(doc->OnNewDocument(), started);
        return *doc;
    }
    void Restart() {
        doc.reset();
        Start();
    }

    // The terminal's item (the structure is shown).
    CTreeNode& AddTerminal(int id, int hostType = kBm4, int loops = 0) {
        EXPECT_TRUE(doc->NewTerminal({.number = std::to_string(id),
                                      .hostType = hostType,
                                      .loopCount = loops,
                                      .phone = "+7900",
                                      .password = "link"}));
        return Node(id);
    }
    CTreeNode& Node(int terminalId) { return *doc->Tree().Find(*doc->FindTerminal(terminalId)); }
    CTreeNode& Node(int terminalId, int address) {
        return *doc->Tree().Find(*doc->FindTerminal(terminalId)->FindDevice(address));
    }
    CTreeNode& AddDevice(CTreeNode& parent, int address, int busType, std::string name = {},
                         int loops = 0) {
        EXPECT_TRUE(doc->NewDevice(parent, {.address = address,
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
            lines.push_back(indent + node.Label());
        });
        return lines;
    }

    std::vector<std::vector<std::string>> Rows(const std::string& statement) {
        std::vector<std::vector<std::string>> rows;
        EXPECT_TRUE(doc->Database().Query(statement, rows)) << doc->Database().LastError();
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
