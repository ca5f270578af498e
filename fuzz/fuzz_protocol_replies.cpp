// Arbitrary reply texts from the line through every reply reader of the
// command set, for a terminal and for a partition, and the snapshot brought
// along with what was read. The first byte picks the command, the rest is
// the reply's data. A refused reply is fine; a crash, a sanitizer report or a
// value that does not fit the device is not.
#include "protocol/CommandSet.h"
#include "protocol/KeyCode.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>

namespace {

using namespace tornu;

constexpr int kCodes[] = {1, 22, 39, 40, 97, 60, 9, 16, 17, 23, 24, 38, 96, 61, 77};
constexpr std::size_t kTerminalCodes = 6;

DeviceSnapshot Partition() {
    DeviceSnapshot d;
    d.terminal = 7;
    d.address = 1;
    d.password = "p1";
    d.params = {{"DLYIN", "30", "30", true, true},
                {"OBJNAME", "Объект", "Объект", true, true},
                {"TEMP", "700", "700", true, false},
                {"MODE", "0", "0", false, true}};
    for (int type = 0; type < 3; ++type)
        for (int i = 0; i < 4; ++i)
            d.phones.push_back({type, "", 0});
    d.keys.assign(15, "");
    return d;
}

TerminalSnapshot Terminal() {
    TerminalSnapshot t;
    t.number = 7;
    t.firstDevice = PartitionAccess{0, "p0"};
    t.newPassword = "n";
    t.loops = {{"M", {0, {0, 0}}, true}, {"M", {1, {0, 0, 0, 0}}, true}, {"S", {5, {0}}, true}};
    return t;
}

void Check(const DeviceSnapshot& device) {
    if (device.phones.size() != 12 || device.keys.size() != 15)
        std::abort();
    for (const PhoneEntry& phone : device.phones)
        if (phone.number.size() > 12 || phone.mask < 0 || phone.mask > 0xFFFFFF ||
            StoredPhoneNumber(phone.number) != phone.number)
            std::abort();
    for (const std::string& key : device.keys)
        if (!key.empty() && !IsValidKeyCode(key))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t pick = data[0] % std::size(kCodes);
    const int flags = data[0] & 0x80 ? kCommandFileOut : 0;
    const CommandSpec command{kCodes[pick], CommandKind::Device, {"DLYIN"},
                              flags,        std::nullopt,        "out.bin"};
    const CTermMessage reply(7, command.code,
                             std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    if (pick < kTerminalCodes) {
        TerminalSnapshot terminal = Terminal();
        if (const std::optional<ReplyValue> value = ReadTerminalReply(command, reply)) {
            FollowReply(terminal, *value);
            BuildTerminalCommand(terminal, {40, CommandKind::Terminal, {}, 0, {}, {}}, 0);
        }
        return 0;
    }
    DeviceSnapshot device = Partition();
    if (const std::optional<ReplyValue> value = ReadDeviceReply(device, command, reply)) {
        FollowReply(device, *value);
        Check(device);
        for (const int code : {9, 17, 24})
            BuildDeviceCommand(device, {code, CommandKind::Device, {}, 0, {}, {}});
    }
    return 0;
}
