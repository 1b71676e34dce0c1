// Launcher: creating it loads the tray form, releasing it unloads the form; every
// member forwards to the core's Launcher.

#include <optional>

#include "core/common/Error.h"
#include "core/host/Launcher.h"
#include "windows/com/Automation.h"
#include "windows/com/ClassFactory.h"
#include "windows/com/Dispatch.h"
#include "windows/com/Text.h"
#include "windows/dialer/DialerObjects.h"
#include "windows/qoricon/Objects.h"
#include "windows/qoricon/ProcessRuntime.h"
#include "windows/qoricon/StandardTypes.h"

namespace qor::win {

namespace {

using com::ComPtr;

class LauncherObject final : public com::DispatchObject<LauncherObject, _Launcher> {
  public:
    // The form's load runs here; its failure is the failure of the creation.
    LauncherObject() : core_(ProcessRuntime()) {}

    STDMETHODIMP get_qorDialSession(IDispatch** session) override {
        return Run([&] {
            if (!session) return E_POINTER;
            *session = DispatchBehind(core_.qorDialSession());
            if (*session) (*session)->AddRef();
            return S_OK;
        });
    }
    STDMETHODIMP putref_qorDialSession(IDispatch* session) override {
        return Run([&] { core_.qorDialSession(WrapSession(session)); });
    }
    STDMETHODIMP GetMenuEvent(_MenuEvent** menuEvent) override {
        return Run([&] {
            if (!menuEvent) return E_POINTER;
            *menuEvent = nullptr;
            MenuEventPtr core = core_.GetMenuEvent();
            // One COM face per core object, so repeated calls give the same object.
            if (core != menuEventCore_) {
                menuEvent_ = MenuEventFor(core);
                menuEventCore_ = core;
            }
            return menuEvent_.CopyTo(menuEvent);
        });
    }
    STDMETHODIMP addSession(IQorSession** myNum, LONG* appConnectMode, BSTR* TheAppName) override {
        return Run([&] {
            if (!myNum || !appConnectMode || !TheAppName) return E_POINTER;
            // The form only reads these; the caller's variables stay as they are.
            dialer::SessionPtr session = WrapSession(*myNum);
            std::int32_t mode = *appConnectMode;
            std::string name = com::FromBstr(*TheAppName);
            core_.addSession(session, mode, name);
            return S_OK;
        });
    }
    STDMETHODIMP SetTooltip(BSTR* Message) override {
        return Run([&] {
            if (!Message) return E_POINTER;
            std::string text = com::FromBstr(*Message);
            core_.SetTooltip(text);
            return S_OK;
        });
    }
    STDMETHODIMP Start() override {
        return Run([&] { core_.Start(); });
    }
    STDMETHODIMP IsOfflineSelected(VARIANT_BOOL* selected) override {
        return Run([&] {
            if (!selected) return E_POINTER;
            *selected = core_.IsOfflineSelected() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        });
    }
    STDMETHODIMP ExecuteCommand(BSTR FuncName, VARIANT args, VARIANT* result) override {
        return Run([&] {
            if (!result) return E_POINTER;
            VariantInit(result);
            const std::string name = com::FromBstr(FuncName);
            std::optional<Variant> value;
            try {
                value = ToCore(args);
            } catch (...) {
                // An argument the core cannot hold fails like any other conversion
                // of this command: reported, never returned.
                if (name == "ForwardIconID")
                    ProcessRuntime().Errors().LogError("QorIcon Launcher.ExecuteCommand",
                                                       CurrentError());
                return S_OK;
            }
            ToAutomation(core_.ExecuteCommand(name, *value)).Detach(result);
            return S_OK;
        });
    }

  private:
    template <class F>
    HRESULT Run(F&& body) noexcept {
        return com::Guard(IID__Launcher, kSource, body);
    }

    Launcher core_;
    MenuEventPtr menuEventCore_;
    ComPtr<_MenuEvent> menuEvent_;
};

}  // namespace

HRESULT CreateLauncher(REFIID riid, void** out) noexcept {
    ReadStandardTypesAhead();
    return com::CreateWithNew<LauncherObject>(riid, out);
}

}  // namespace qor::win
