#pragma once
// Late binding: calling members of any IDispatch by name or dispatch id, the way a
// script would, and the VARIANT conversions around it. A failed call throws
// qor::QorError with the server's error number and description, so the core's
// failure rules apply to outside objects exactly as to its own code.

#include <oaidl.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "windows/com/ComPtr.h"
#include "windows/com/Owners.h"

namespace qor::com {

DISPID IdOfName(IDispatch* object, const wchar_t* name);

// Calls `id` with `args` in natural order (first argument first). `flags` is a
// DISPATCH_* combination. Arguments are not consumed: by-reference ones show the
// callee's changes afterwards.
Variant InvokeById(IDispatch* object, DISPID id, WORD flags, std::span<VARIANT> args = {});
Variant InvokeByName(IDispatch* object, const wchar_t* name, WORD flags,
                     std::span<VARIANT> args = {});
// Property put (or put-by-reference for objects such as pictures).
void PutById(IDispatch* object, DISPID id, VARIANT value, bool byReference = false);
void PutByName(IDispatch* object, const wchar_t* name, VARIANT value, bool byReference = false);

// An object called by member name, each name looked up (GetIDsOfNames) once for
// the life of this wrapper and its id kept: an adapter holds one per object it
// calls, so another object behind the next adapter is asked afresh. A name the
// object does not know is asked again on the next call, as InvokeByName would.
class NamedDispatch {
  public:
    NamedDispatch() noexcept = default;
    explicit NamedDispatch(ComPtr<IDispatch> object) noexcept : object_(std::move(object)) {}

    IDispatch* Get() const noexcept { return object_.Get(); }
    DISPID IdOf(const wchar_t* name);
    Variant Invoke(const wchar_t* name, WORD flags, std::span<VARIANT> args = {}) {
        return InvokeById(object_.Get(), IdOf(name), flags, args);
    }

  private:
    ComPtr<IDispatch> object_;
    std::vector<std::pair<std::wstring, DISPID>> ids_;
};

// Building arguments. The VARIANT returned owns its value.
Variant MakeText(std::string_view text);
Variant MakeI2(std::int16_t value);
Variant MakeI4(std::int32_t value);
Variant MakeBool(bool value);
Variant MakeDispatch(IDispatch* object);  // null gives Nothing (VT_DISPATCH null)
// A by-reference argument pointing at `target` (VT_BYREF | VT_VARIANT); owns nothing.
VARIANT RefTo(VARIANT* target) noexcept;
// Typed by-reference arguments, for servers that declare BSTR* or short*
// parameters (the automation marshaler wants the exact type for those), and for
// object references (VT_BYREF | VT_DISPATCH) of interfaces derived from IDispatch.
VARIANT RefTo(BSTR* target) noexcept;
VARIANT RefTo(IDispatch** target) noexcept;
VARIANT RefTo(std::int16_t* target) noexcept;
VARIANT RefTo(std::int32_t* target) noexcept;

// Reading results and arguments; by-reference values are followed. Conversion
// failures throw QorError (type mismatch, overflow).
std::string TextOf(const VARIANT& value);
std::int16_t Int16Of(const VARIANT& value);
std::int32_t Int32Of(const VARIANT& value);
bool BoolOf(const VARIANT& value);
float FloatOf(const VARIANT& value);
ComPtr<IDispatch> DispatchOf(const VARIANT& value);  // Nothing/Empty give null

// Writing back into a by-reference argument of an event or call: converts to the
// referenced type when the argument is a typed reference (VT_BYREF | VT_I2...),
// replaces the value when it is a VARIANT reference; does nothing for by-value args.
void WriteBack(VARIANT& argument, const VARIANT& value);

// Puts a new value into a parameter the callee may change (a VARIANT* parameter):
// through the reference when it holds one, else in place.
void Assign(VARIANT& target, const VARIANT& value);

// Creates an object by ProgID; a missing or failing server is error 429. With
// `what` (the server's name for people, "The tray icon control") the description
// says what is wrong with its registration, and the same line goes to the
// debugger output: the part an administrator has to fix, by name.
ComPtr<IDispatch> CreateByProgId(const wchar_t* progId, const char* what = nullptr);

}  // namespace qor::com
