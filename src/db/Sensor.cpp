#include "db/Sensor.h"

#include "db/ConfigDatabase.h"
#include "db/Device.h"
#include "db/Terminal.h"

namespace tornu {

CSensor::CSensor(CDevice* device, int number, int type)
    : device_(device), number_(number), type_(type) {}

int CSensor::TerminalId() const {
    return device_->Terminal().Id();
}



RowKey CSensor::Key() const {
    return {TerminalId(), 0, number_, {}};
}


bool CSensor::SetState(int state) {
    return SetNumber("state", state_, state);
}

bool CSensor::SetType(int type) {
    return SetNumber("type", type_, type);
}

bool CSensor::SetName(std::string name) {
    return SetText("name", name_, name);
}

CConfigDatabase* CSensor::Database() const {
    return device_->Database();
}

std::string CSensor::ChangeName(std::size_t column) const {
    return "Шлейф " + std::to_string(number_) + ": " + CDbRecord::ChangeName(column);
}

} // namespace tornu
