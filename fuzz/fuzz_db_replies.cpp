// Arbitrary reply texts from the line through the terminal's and the devices'
// reply readers (status, phone book, key list, loop configuration, password
// and file replies), applied to records on a real database. A refused reply is
// fine; a crash or a sanitizer report is not.
#include "catalogue/BusDeviceType.h"
#include "catalogue/CommandDesc.h"
#include "catalogue/HostDeviceType.h"
#include "catalogue/ParamDesc.h"
#include "db/ConfigDatabase.h"
#include "db/Terminal.h"
#include "protocol/TermMessage.h"
#include "settings/IniFile.h"

#include "ScratchFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace tornu;

struct World {
    ParamDescList params;
    std::unique_ptr<CConfigDatabase> db;
    std::unique_ptr<CTerminal> terminal;
    CDevice* partition = nullptr;
    CDevice* slave = nullptr;
    std::array<CCommandDesc, 12> commands;
};

World* world = nullptr;

template <typename T> T Read(const char* text) {
    T value;
    if (!value.Read(text))
        std::abort();
    return value;
}

// The first byte picks the record and the command, the rest is the reply's data.
constexpr const char* kCommands[] = {"NUM=1",  "NUM=22", "NUM=39", "NUM=40",
                                     "NUM=97", "NUM=16", "NUM=23", "NUM=24",
                                     "NUM=38", "NUM=9",  "NUM=96", "NUM=61;FILE=O"};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The database and the command's output file go into a scratch folder.
    const std::string& scratch = fuzz::MakeScratchFile("reply.bin");
    CIniFile program;
    program.SetValue("TonruDataSource", "Connect",
                     CConfigDatabase::DefaultConnectString(
                         std::filesystem::path(scratch).parent_path().string()));
    world = new World;
    for (const char* text : {"NAME=DLYIN;DESC=Вход;VTYPE=N;DTYPE=IO;DEFLT=30",
                             "NAME=OBJNAME;DESC=Объект;VTYPE=S;DTYPE=IO;DEFLT=Объект",
                             "NAME=TEMP;DESC=Т;VTYPE=F1;DTYPE=I;DEFLT=700;IEXPR=(VAL-500)/10",
                             "NAME=MODE;DESC=Режим;VTYPE=L;DTYPE=O;LIST=Выкл,Вкл;DEFLT=0"})
        world->params.push_back(std::make_unique<CParamDesc>(Read<CParamDesc>(text)));
    world->db = std::make_unique<CConfigDatabase>(program);
    if (!world->db->IsConnected())
        std::abort();
    world->terminal = CTerminal::Create(
        world->db.get(), &world->params, 7, "+70000000000", "pw",
        Read<CHostDeviceType>("NAME=БМ;DADDR=-1;TSCNT=8;TDCNT=16;RS485=1;DSCNT=0;DMST=0;DSLV=0;"
                              "TLN=0"),
        0);
    if (!world->terminal)
        std::abort();
    world->partition = world->terminal->CreateDevice(
        1,
        Read<CBusDeviceType>("NAME=Раздел;DSCNT=4;DMST=1;DSLV=0;TLN=4;PLIST=DLYIN,OBJNAME,MODE"));
    world->slave = world->partition->CreateSlave(
        5, Read<CBusDeviceType>("NAME=Расш;DTYPE=S;DSCNT=2;DMST=0;DSLV=1;TLN=0;PLIST=TEMP"));
    if (!world->partition || !world->slave)
        std::abort();
    for (CDevice* device : {world->partition, world->partition, world->slave})
        world->terminal->CreateLoop(*device, -1, 0);
    for (std::size_t i = 0; i < world->commands.size(); ++i) {
        if (!world->commands[i].Read("Cmd", std::string("DESC=К;TYPE=D;") + kCommands[i]))
            std::abort();
        world->commands[i].SetFileName(kCommandFileOut, scratch);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t pick = data[0] % (world->commands.size() + 5);
    const CTermMessage reply(7, 1, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    if (pick < 5) {
        world->terminal->ProcessReply(world->commands[pick], reply);
    } else {
        CDevice* device = data[0] & 0x80 ? world->slave : world->partition;
        device->ProcessReply(world->commands[pick - 5], reply, 1700000000);
    }
    return 0;
}
