#pragma once
// The parameter values of one device, as the conversions and the editing
// rule see them: an ordered list of (name, stored value, description). The
// device records implement IParamValues over their own parameter rows,
// writing each change through to the database.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CParamDesc;

class IParamValues {
public:
    virtual ~IParamValues() = default;

    virtual std::size_t Count() const = 0;
    virtual std::string_view Name(std::size_t index) const = 0;
    // The value in stored form.
    virtual std::string_view Value(std::size_t index) const = 0;
    // The catalogue description; null when the value has none.
    virtual const CParamDesc* Desc(std::size_t index) const = 0;
    // Replaces the stored value; false when it could not be kept.
    virtual bool SetValue(std::size_t index, std::string_view stored) = 0;
};

struct ParamValue {
    std::string name;
    std::string value; // stored form
    const CParamDesc* desc = nullptr;
};

// Values held in memory only: a device that is not in the database yet, the
// command-line front end, tests.
class CParamValueList final : public IParamValues {
public:
    CParamValueList() = default;
    // One value per description, holding its default: a new device.
    explicit CParamValueList(const std::vector<const CParamDesc*>& descs);

    void Add(ParamValue value) { values_.push_back(std::move(value)); }
    const std::vector<ParamValue>& Values() const { return values_; }

    std::size_t Count() const override { return values_.size(); }
    std::string_view Name(std::size_t index) const override { return values_[index].name; }
    std::string_view Value(std::size_t index) const override { return values_[index].value; }
    const CParamDesc* Desc(std::size_t index) const override { return values_[index].desc; }
    bool SetValue(std::size_t index, std::string_view stored) override;

private:
    std::vector<ParamValue> values_;
};

// The descriptions a device of a type with parameter list `plist` ("PLIST")
// has values for: in catalogue order, not list order; names in the list that
// no description has are ignored.
std::vector<const CParamDesc*>
SelectDeviceParams(const std::vector<std::unique_ptr<CParamDesc>>& catalogue,
                   const std::vector<std::string>& plist);

} // namespace tornu
