#include "db/Tables.h"

#include "db/Device.h"
#include "db/DeviceKey.h"
#include "db/DeviceParam.h"
#include "db/DevicePhone.h"
#include "db/Sensor.h"
#include "db/Terminal.h"

namespace tornu {

namespace {

template <class M> struct MemberOf;
template <class R, class T> struct MemberOf<T R::*> {
    using Record = R;
};

// Columns that mirror one field of the record.
template <auto Member> DbValue Get(const CDbRecord& record) {
    using R = typename MemberOf<decltype(Member)>::Record;
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(static_cast<const R&>(record).*Member)>, int>)
        return DbValue(static_cast<const R&>(record).*Member);
    else
        return DbValue(std::string_view(static_cast<const R&>(record).*Member));
}
template <auto Member> void Set(CDbRecord& record, std::string_view text) {
    using R = typename MemberOf<decltype(Member)>::Record;
    auto& field = static_cast<R&>(record).*Member;
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(field)>, int>)
        field = CDbRecord::ColumnNumber(text);
    else
        field = text;
}

constexpr ColumnType kInt = ColumnType::Integer;
constexpr ColumnType kText = ColumnType::Text;

} // namespace

struct CRecordColumns {
    template <class R> static const R& As(const CDbRecord& record) {
        return static_cast<const R&>(record);
    }
    // The terminal and device a dependant row is filed under.
    template <class R> static DbValue TerminalOf(const CDbRecord& record) {
        return As<R>(record).device_->Terminal().Id();
    }
    template <class R> static DbValue DeviceOf(const CDbRecord& record) {
        return As<R>(record).device_->Address();
    }
    template <class R> static DbValue NumberOf(const CDbRecord& record) {
        return As<R>(record).Number();
    }

    // name, type, length, key, caption, get, set
    static constexpr ColumnDesc kTerminal[] = {
        {"id", kInt, 0, true, nullptr, Get<&CTerminal::id_>, nullptr},
        {"phone", kText, 40, false, "Номер телефона", Get<&CTerminal::phone_>, Set<&CTerminal::phone_>},
        {"password", kText, 40, false, "Пароль на связь", Get<&CTerminal::password_>, Set<&CTerminal::password_>},
        {"config", kText, 0, false, nullptr,
         [](const CDbRecord& r) { return DbValue(As<CTerminal>(r).type_.DescriptionText()); },
         [](CDbRecord& r, std::string_view text) {
             auto& terminal = static_cast<CTerminal&>(r);
             terminal.typeRead_ = terminal.type_.Read(text);
         }},
        {"term_config", kText, 0, false, nullptr, Get<&CTerminal::readConfiguration_>, Set<&CTerminal::readConfiguration_>},
    };
    static constexpr ColumnDesc kDevice[] = {
        {"term_id", kInt, 0, true, nullptr, [](const CDbRecord& r) { return DbValue(As<CDevice>(r).terminal_->Id()); }, nullptr},
        {"id", kInt, 0, true, nullptr, Get<&CDevice::address_>, nullptr},
        {"password", kText, 40, false, "Пароль раздела", Get<&CDevice::password_>, Set<&CDevice::password_>},
        {"name", kText, 255, false, "Название", Get<&CDevice::name_>, Set<&CDevice::name_>},
        {"master_id", kInt, 0, false, "Ведущее устройство", Get<&CDevice::master_>, Set<&CDevice::master_>},
        {"last_key", kInt, 0, false, nullptr, Get<&CDevice::lastKey_>, Set<&CDevice::lastKey_>},
        {"systemstate", kInt, 0, false, nullptr, Get<&CDevice::systemState_>, Set<&CDevice::systemState_>},
        {"last_time", kText, 40, false, nullptr, Get<&CDevice::lastTime_>, Set<&CDevice::lastTime_>},
        {"config", kText, 0, false, nullptr,
         [](const CDbRecord& r) { return DbValue(As<CDevice>(r).type_.DescriptionText()); },
         [](CDbRecord& r, std::string_view text) {
             auto& device = static_cast<CDevice&>(r);
             device.typeRead_ = device.type_.Read(text);
         }},
        {"sensor_cnt", kInt, 0, false, "Количество шлейфов", Get<&CDevice::loopCount_>, Set<&CDevice::loopCount_>},
    };
    static constexpr ColumnDesc kSensor[] = {
        {"term_id", kInt, 0, true, nullptr, TerminalOf<CSensor>, nullptr},
        {"device_id", kInt, 0, false, nullptr, DeviceOf<CSensor>, nullptr},
        {"id", kInt, 0, true, nullptr, Get<&CSensor::number_>, nullptr},
        {"state", kInt, 0, false, nullptr, Get<&CSensor::state_>, Set<&CSensor::state_>},
        {"type", kInt, 0, false, "Тип шлейфа", Get<&CSensor::type_>, Set<&CSensor::type_>},
        {"name", kText, 255, false, "Комментарий", Get<&CSensor::name_>, Set<&CSensor::name_>},
    };
    static constexpr ColumnDesc kDeviceParam[] = {
        {"term_id", kInt, 0, true, nullptr, TerminalOf<CDeviceParam>, nullptr},
        {"device_id", kInt, 0, true, nullptr, DeviceOf<CDeviceParam>, nullptr},
        {"name", kText, 20, true, nullptr, [](const CDbRecord& r) { return DbValue(As<CDeviceParam>(r).Name()); }, nullptr},
        {"param_value", kText, 255, false, "Значение параметра", Get<&CDeviceParam::value_>, Set<&CDeviceParam::value_>},
    };
    static constexpr ColumnDesc kDevicePhone[] = {
        {"term_id", kInt, 0, true, nullptr, TerminalOf<CDevicePhone>, nullptr},
        {"device_id", kInt, 0, true, nullptr, DeviceOf<CDevicePhone>, nullptr},
        {"id", kInt, 0, true, nullptr, NumberOf<CDevicePhone>, nullptr},
        {"type", kInt, 0, false, nullptr, Get<&CDevicePhone::type_>, Set<&CDevicePhone::type_>},
        {"mask", kInt, 0, false, "Маска", Get<&CDevicePhone::mask_>, Set<&CDevicePhone::mask_>},
        {"phone", kText, 20, false, "Номер телефона", Get<&CDevicePhone::phone_>, Set<&CDevicePhone::phone_>},
    };
    static constexpr ColumnDesc kDeviceKey[] = {
        {"term_id", kInt, 0, true, nullptr, TerminalOf<CDeviceKey>, nullptr},
        {"device_id", kInt, 0, true, nullptr, DeviceOf<CDeviceKey>, nullptr},
        {"id", kInt, 0, true, nullptr, NumberOf<CDeviceKey>, nullptr},
        {"key_value", kText, 40, false, "Электронный номер", Get<&CDeviceKey::code_>, Set<&CDeviceKey::code_>},
        {"key_owner", kText, 100, false, "Владелец", Get<&CDeviceKey::owner_>, Set<&CDeviceKey::owner_>},
    };
};

const TableDesc kTerminalTable{"terminal", CRecordColumns::kTerminal};
const TableDesc kDeviceTable{"device", CRecordColumns::kDevice};
const ColumnMask kDeviceStartColumns =
    kDeviceTable.Mask({"term_id", "id", "name", "master_id", "config", "sensor_cnt"});
const ColumnMask kDeviceLaterColumns =
    kDeviceTable.Mask({"id", "password", "last_key", "systemstate", "last_time"});
const TableDesc kSensorTable{"sensor", CRecordColumns::kSensor};
const TableDesc kDeviceParamTable{"device_param", CRecordColumns::kDeviceParam};
const TableDesc kDevicePhoneTable{"device_phone", CRecordColumns::kDevicePhone};
const TableDesc kDeviceKeyTable{"device_key", CRecordColumns::kDeviceKey};

std::span<const TableDesc* const> SchemaTables() {
    static const TableDesc* const kSchema[] = {&kTerminalTable,    &kDeviceTable,
                                               &kSensorTable,      &kDeviceParamTable,
                                               &kDevicePhoneTable, &kDeviceKeyTable};
    return kSchema;
}

} // namespace tornu
