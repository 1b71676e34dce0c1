#pragma once
// A small automation variant: what event arguments, custom properties and
// late-bound calls carry between the component and the client's objects.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace qor {

class Variant;

// An object reached by name at run time (late binding): a dialer session's
// "TheAppMenus" and "SendMenuSelected", the list that "TheAppMenus" returns.
class ILateBound {
  public:
    virtual ~ILateBound() = default;
    // Calls the member `name` (method or property get) with `args`, which the
    // member may change (they are passed by reference).
    virtual Variant Invoke(const std::string& name, std::vector<Variant>& args) = 0;
};
using LateBoundPtr = std::shared_ptr<ILateBound>;

class Variant {
  public:
    using Value = std::variant<std::monostate, bool, std::int16_t, std::int32_t, double,
                               std::string, LateBoundPtr>;

    Variant() = default;
    Variant(bool v) : value_(v) {}
    Variant(std::int16_t v) : value_(v) {}
    Variant(std::int32_t v) : value_(v) {}
    Variant(double v) : value_(v) {}
    Variant(std::string v) : value_(std::move(v)) {}
    Variant(const char* v) : value_(std::string(v)) {}
    Variant(LateBoundPtr v) : value_(std::move(v)) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(value_); }
    bool IsText() const { return std::holds_alternative<std::string>(value_); }
    bool IsNumber() const;
    bool IsObject() const { return std::holds_alternative<LateBoundPtr>(value_); }
    const Value& Raw() const { return value_; }

    // Text form: Empty is "", Booleans "True"/"False", numbers in decimal.
    // An object has no text form (error 13).
    std::string ToText() const;
    // Numeric value: numbers as they are, Booleans -1/0, Empty 0, numeric text
    // parsed; anything else error 13.
    double ToNumber() const;
    std::int16_t ToInt16() const;  // rounded halves to even, error 6 beyond 16 bits
    std::int32_t ToInt32() const;
    LateBoundPtr ToObject() const;  // error 424 when it holds no object

    // Comparison with a text: Empty equals "", numbers and objects never do.
    bool EqualsText(const std::string& text) const;

    friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

  private:
    Value value_;
};

}  // namespace qor
