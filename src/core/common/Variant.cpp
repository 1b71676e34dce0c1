#include "core/common/Variant.h"

#include "core/common/Convert.h"
#include "core/common/Error.h"

namespace qor {

bool Variant::IsNumber() const {
    return std::holds_alternative<std::int16_t>(value_) ||
           std::holds_alternative<std::int32_t>(value_) || std::holds_alternative<double>(value_);
}

std::string Variant::ToText() const {
    struct Visitor {
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(bool v) const { return v ? "True" : "False"; }
        std::string operator()(std::int16_t v) const { return std::to_string(v); }
        std::string operator()(std::int32_t v) const { return std::to_string(v); }
        std::string operator()(double v) const { return NumberToText(v); }
        std::string operator()(const std::string& v) const { return v; }
        std::string operator()(const LateBoundPtr&) const { Raise(err::kTypeMismatch); }
    };
    return std::visit(Visitor{}, value_);
}

double Variant::ToNumber() const {
    struct Visitor {
        double operator()(std::monostate) const { return 0; }
        double operator()(bool v) const { return v ? -1 : 0; }
        double operator()(std::int16_t v) const { return v; }
        double operator()(std::int32_t v) const { return v; }
        double operator()(double v) const { return v; }
        double operator()(const std::string& v) const { return TextToNumber(v); }
        double operator()(const LateBoundPtr&) const { Raise(err::kTypeMismatch); }
    };
    return std::visit(Visitor{}, value_);
}

std::int16_t Variant::ToInt16() const {
    return qor::ToInt16(ToNumber());
}
std::int32_t Variant::ToInt32() const {
    return qor::ToInt32(ToNumber());
}

LateBoundPtr Variant::ToObject() const {
    if (const auto* object = std::get_if<LateBoundPtr>(&value_); object && *object) return *object;
    Raise(err::kObjectRequired);
}

bool Variant::EqualsText(const std::string& text) const {
    if (IsEmpty()) return text.empty();
    if (const auto* s = std::get_if<std::string>(&value_)) return *s == text;
    if (const auto* b = std::get_if<bool>(&value_)) return (*b ? "True" : "False") == text;
    return false;
}

}  // namespace qor
