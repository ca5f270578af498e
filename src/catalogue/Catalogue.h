#pragma once
// The equipment catalogue: five lists read from the catalogue sections of the
// settings file, each in file order of the entries it accepted.
//
// Phone-book layouts are loaded with the settings; the four type lists once
// the program password has been passed. A bad entry is left out without a
// message; the load report remembers which entry was left out and why, for
// the command-line front end and the settings view.
#include "catalogue/BusDeviceType.h"
#include "catalogue/CommandDesc.h"
#include "catalogue/HostDeviceType.h"
#include "catalogue/ParamDesc.h"
#include "catalogue/PhoneBookLayout.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CIniFile;

inline constexpr const char* kHostTypeSection = "HostDevice.Type";
inline constexpr const char* kBusTypeSection = "BusDevice.Type";
inline constexpr const char* kParamSection = "BusDevice.Parameters";
inline constexpr const char* kCommandSection = "BusDevice.Commands";
inline constexpr const char* kPhoneBookSection = "BusDevice.PhoneBook";

// One entry the catalogue left out.
struct DroppedEntry {
    std::string section;
    std::string key;
    std::string reason; // the first rule it broke, e.g. "нет ключа TLN"
    bool operator==(const DroppedEntry&) const = default;
};

// "[BusDevice.Type] 3: нет ключа TLN"
std::string DescribeDroppedEntry(const DroppedEntry& entry);

class CCatalogue {
public:
    template <class T> using List = std::vector<std::unique_ptr<T>>;

    // Replaces the layouts with those of "BusDevice.PhoneBook"; every entry
    // gives a layout.
    void LoadPhoneBookLayouts(CIniFile& file);
    // Replaces host types, bus types, parameter descriptions and command
    // descriptions, in this order, and the load report with the entries
    // left out of them.
    void LoadTypes(CIniFile& file);

    // Types are referred to by their index in these lists.
    const List<CHostDeviceType>& HostTypes() const { return hostTypes_; }
    const List<CBusDeviceType>& BusTypes() const { return busTypes_; }
    const List<CParamDesc>& Params() const { return params_; }
    // Commands carry the results and file names of the current exchange, so
    // the exchange gets them unconst.
    const List<CCommandDesc>& Commands() const { return commands_; }
    List<CCommandDesc>& Commands() { return commands_; }
    const List<CPhoneBookLayout>& PhoneBookLayouts() const { return layouts_; }

    // The first parameter description of that name; null when there is none.
    const CParamDesc* FindParam(std::string_view name) const;
    // The first layout of that name, "BitMask" for an empty name; null when
    // there is none (the phone book then cannot be shown).
    const CPhoneBookLayout* FindPhoneBookLayout(std::string_view layoutName) const;

    const std::vector<DroppedEntry>& LoadReport() const { return report_; }

private:
    // Reads every entry of `section` with `read` (object, key, value, reason)
    // and keeps the ones it accepts.
    template <class T, class Read>
    void LoadSection(CIniFile& file, const char* section, List<T>& list, Read read);

    List<CHostDeviceType> hostTypes_;
    List<CBusDeviceType> busTypes_;
    List<CParamDesc> params_;
    List<CCommandDesc> commands_;
    List<CPhoneBookLayout> layouts_;
    std::vector<DroppedEntry> report_;
};

} // namespace tornu
