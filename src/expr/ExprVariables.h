#pragma once
// The named variables an expression can read. The catalogue's value
// conversions define exactly one, "VAL", holding the value being converted.
#include <string>
#include <string_view>
#include <vector>

namespace tornu {

class CExprVariables {
public:
    // False when name or value is empty, or when the name exists already (its
    // value is then kept); otherwise the variable is appended.
    bool SetVariable(std::string_view name, std::string_view value);
    // Index of the variable with exactly this name (case-sensitive), or -1.
    int Find(std::string_view name) const;
    // The value text of the variable at index; empty for an index out of range.
    std::string_view Value(int index) const;
    int Count() const { return static_cast<int>(variables_.size()); }
    void Clear() { variables_.clear(); }

private:
    struct Variable {
        std::string name;
        std::string value;
    };
    std::vector<Variable> variables_;
};

} // namespace tornu
