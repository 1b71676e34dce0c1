#include "windows/qoricon/OutsideComponents.h"

#include <map>

#include "core/common/Error.h"
#include "trayicon.h"
#include "windows/com/Automation.h"
#include "windows/com/Errors.h"
#include "windows/com/EventSink.h"
#include "windows/com/Text.h"
#include "windows/dialer/DialerObjects.h"
#include "windows/platform/ComLogWriter.h"

namespace qor::win {

namespace {

using com::ComPtr;

// An outside server, called by member name; each name is looked up once for the
// object this adapter created.
class Server {
  public:
    Server(const wchar_t* progId, const char* what) : object_(com::CreateByProgId(progId, what)) {}
    IDispatch* Dispatch() const noexcept { return object_.Get(); }
    com::NamedDispatch& Members() noexcept { return object_; }

  private:
    com::NamedDispatch object_;
};

// Translate(BSTR* literal): the literal goes by reference and may come back changed.
std::string TranslateBy(com::NamedDispatch& server, std::string& literal) {
    BSTR raw = com::AllocBstr(literal);
    struct FreeAtEnd {
        BSTR& text;
        ~FreeAtEnd() { SysFreeString(text); }  // whatever the server left in it
    } freeAtEnd{raw};
    VARIANT arg = com::RefTo(&raw);
    com::Variant result = server.Invoke(L"Translate", DISPATCH_METHOD, std::span(&arg, 1));
    literal = com::FromBstr(raw);
    return com::TextOf(*result.Get());
}

// A picture of the icon library; the tray item gets the server's IPictureDisp back.
class Picture final : public IPicture, public IDispatchBacked {
  public:
    Picture(std::int32_t id, ComPtr<IDispatch> picture) : id_(id), picture_(std::move(picture)) {}
    std::int32_t IconId() const override { return id_; }
    IDispatch* Dispatch() const noexcept override { return picture_.Get(); }

  private:
    std::int32_t id_;
    ComPtr<IDispatch> picture_;
};

PicturePtr PictureOf(std::int32_t id, const com::Variant& result) {
    ComPtr<IDispatch> picture = com::DispatchOf(*result.Get());
    if (!picture)
        throw QorError(err::kObjectNotSet, "Object variable or With block variable not set");
    return std::make_shared<Picture>(id, std::move(picture));
}

class IconLibrary final : public IIconLibrary, Server {
  public:
    IconLibrary() : Server(L"QORIcons.Icons", "The icon library") {}
    PicturePtr GetIcon(std::int16_t& id) override {
        VARIANT arg = com::RefTo(&id);
        return PictureOf(id, Members().Invoke(L"GetIcon", DISPATCH_METHOD, std::span(&arg, 1)));
    }
    PicturePtr GetIconSized(std::int16_t id, std::int16_t size) override {
        VARIANT args[] = {*com::MakeI2(id).Get(), *com::MakeI2(size).Get()};
        return PictureOf(id, Members().Invoke(L"GetIconSized", DISPATCH_METHOD, args));
    }
};

class StringTable final : public IStringTable, Server {
  public:
    StringTable() : Server(L"QORIcons.StringTable", "The icon library's string table") {}
    std::string Translate(std::string& literal) override { return TranslateBy(Members(), literal); }
};

class CaptionTranslator final : public ICaptionTranslator, Server {
  public:
    CaptionTranslator() : Server(L"QORTranslate.CaptionTranslator", "The caption translator") {}
    std::string Translate(std::string& literal) override { return TranslateBy(Members(), literal); }
    // The form is walked here, in process, one Translate per caption, instead of
    // handing the translator an automation view of the form: the same texts come
    // out, and the form needs no COM face of its own.
    void TranslateForm(ITranslatableForm& form) override {
        form.ForEachCaption([this](std::string& caption) {
            std::string literal = caption;
            caption = Translate(literal);
        });
    }
};

// One icon item of the control, reached by the dispatch ids of the contract.
class TrayIconItem final : public ITrayIconItem {
  public:
    explicit TrayIconItem(ComPtr<IDispatch> item) : item_(std::move(item)) {}

    void SetDialCaption(const std::string& caption) override {
        com::PutById(item_.Get(), trayid::kDialCaption, *com::MakeText(caption).Get());
    }
    void SetShortCut(std::int16_t modifiers) override {
        com::PutById(item_.Get(), trayid::kShortCut, *com::MakeI2(modifiers).Get());
    }
    std::int16_t ShortCut() override { return com::Int16Of(*Get(trayid::kShortCut).Get()); }
    void SetShortCutActive(bool active) override {
        com::PutById(item_.Get(), trayid::kShortCutActive, *com::MakeBool(active).Get());
    }
    bool ShortCutActive() override { return com::BoolOf(*Get(trayid::kShortCutActive).Get()); }
    void SetBlinking(bool blinking) override {
        com::PutById(item_.Get(), trayid::kBlinking, *com::MakeBool(blinking).Get());
    }
    void SetBlinkIcon(const PicturePtr& picture) override {
        PutPicture(trayid::kBlinkIcon, picture);
    }
    void SetVisible(bool visible) override {
        com::PutById(item_.Get(), trayid::kVisible, *com::MakeBool(visible).Get());
    }
    bool Visible() override { return com::BoolOf(*Get(trayid::kVisible).Get()); }
    void SetToolTip(const std::string& text) override {
        com::PutById(item_.Get(), trayid::kToolTip, *com::MakeText(text).Get());
    }
    void SetIcon(const PicturePtr& picture) override { PutPicture(trayid::kIcon, picture); }
    void OLEDrag() override { com::InvokeById(item_.Get(), trayid::kOLEDrag, DISPATCH_METHOD); }

  private:
    com::Variant Get(DISPID id) { return com::InvokeById(item_.Get(), id, DISPATCH_PROPERTYGET); }
    void PutPicture(DISPID id, const PicturePtr& picture) {
        com::Variant value = com::MakeDispatch(DispatchBehind(picture));
        com::PutById(item_.Get(), id, *value.Get(), /*byReference=*/true);
    }

    ComPtr<IDispatch> item_;
};

// The data object of an OLE drag, as the control hands it to the drag-start event.
class DragData final : public IDragData {
  public:
    explicit DragData(ComPtr<IDispatch> data) : data_(std::move(data)) {}
    void SetData(const std::string& text, std::int16_t format) override {
        com::Variant values[] = {com::MakeText(text), com::MakeI2(format)};
        VARIANT args[] = {*values[0].Get(), *values[1].Get()};
        data_.Invoke(L"SetData", DISPATCH_METHOD, args);
    }

  private:
    com::NamedDispatch data_;
};

// By-reference event arguments: read into locals, handed to the core, written back
// only when the handler changed them.
template <class T>
struct RefArg {
    VARIANT& arg;
    T value;
    T before;
    void Commit() {
        if (value == before) return;
        com::Variant v;
        if constexpr (std::is_same_v<T, std::int16_t>)
            v = com::MakeI2(value);
        else if constexpr (std::is_same_v<T, std::int32_t>)
            v = com::MakeI4(value);
        else if constexpr (std::is_same_v<T, bool>)
            v = com::MakeBool(value);
        else {
            V_VT(v.Put()) = VT_R4;
            V_R4(v.Get()) = value;
        }
        com::WriteBack(arg, *v.Get());
    }
};

RefArg<std::int16_t> I2(com::EventArgs& a, UINT i) {
    const auto v = com::Int16Of(a[i]);
    return {a[i], v, v};
}
RefArg<std::int32_t> I4(com::EventArgs& a, UINT i) {
    const auto v = com::Int32Of(a[i]);
    return {a[i], v, v};
}
RefArg<float> R4(com::EventArgs& a, UINT i) {
    const auto v = com::FloatOf(a[i]);
    return {a[i], v, v};
}
RefArg<bool> Bool(com::EventArgs& a, UINT i) {
    const auto v = com::BoolOf(a[i]);
    return {a[i], v, v};
}

template <class... Args>
void CommitAll(Args&... args) {
    (args.Commit(), ...);
}

void RaiseTrayEvent(ITrayIconEvents& sink, DISPID id, com::EventArgs& a) {
    auto item = I2(a, 0);
    switch (id) {
        case TrayIconEventMouseMove: {
            auto value = I4(a, 1);
            sink.MouseMove(item.value, value.value);
            CommitAll(item, value);
            break;
        }
        case TrayIconEventMouseDown:
        case TrayIconEventMouseUp:
        case TrayIconEventClick:
        case TrayIconEventDblClick: {
            auto button = I2(a, 1);
            auto shift = I2(a, 2);
            if (id == TrayIconEventMouseDown) sink.MouseDown(item.value, button.value, shift.value);
            if (id == TrayIconEventMouseUp) sink.MouseUp(item.value, button.value, shift.value);
            if (id == TrayIconEventClick) sink.Click(item.value, button.value, shift.value);
            if (id == TrayIconEventDblClick) sink.DblClick(item.value, button.value, shift.value);
            CommitAll(item, button, shift);
            break;
        }
        case TrayIconEventShortCutClick: {
            auto shift = I2(a, 1);
            sink.ShortCutClick(item.value, shift.value);
            CommitAll(item, shift);
            break;
        }
        case TrayIconEventOLEStartDrag: {
            DragData data(com::DispatchOf(a[1]));
            auto effects = I4(a, 2);
            sink.OLEStartDrag(item.value, data, effects.value);
            CommitAll(item, effects);
            break;
        }
        case TrayIconEventOLEDragOver: {
            DragData data(com::DispatchOf(a[1]));
            auto effect = I4(a, 2);
            auto button = I2(a, 3);
            auto shift = I2(a, 4);
            auto x = R4(a, 5);
            auto y = R4(a, 6);
            auto state = I2(a, 7);
            sink.OLEDragOver(item.value, data, effect.value, button.value, shift.value, x.value,
                             y.value, state.value);
            CommitAll(item, effect, button, shift, x, y, state);
            break;
        }
        case TrayIconEventOLECompleteDrag: {
            auto effect = I4(a, 1);
            sink.OLECompleteDrag(item.value, effect.value);
            CommitAll(item, effect);
            break;
        }
        case TrayIconEventOLEGiveFeedback: {
            auto effect = I4(a, 1);
            auto cursors = Bool(a, 2);
            sink.OLEGiveFeedback(item.value, effect.value, cursors.value);
            CommitAll(item, effect, cursors);
            break;
        }
        default:
            break;
    }
}

class TrayIcon final : public ITrayIcon, Server {
  public:
    TrayIcon() : Server(L"TrayIconCtl.TrayIcon", "The tray icon control") {}

    ITrayIconItem& Item(std::int16_t index) override {
        auto& slot = items_[index];
        if (!slot) {
            com::Variant arg = com::MakeI2(index);
            com::Variant item =
                Members().Invoke(L"Item", DISPATCH_PROPERTYGET, std::span(arg.Get(), 1));
            ComPtr<IDispatch> object = com::DispatchOf(*item.Get());
            if (!object) throw QorError(err::kSubscriptOutOfRange, "Subscript out of range");
            slot = std::make_unique<TrayIconItem>(std::move(object));
        }
        return *slot;
    }

    Subscription Advise(ITrayIconEvents& sink) override {
        auto connection = std::make_shared<com::Connection>(com::Connection::Connect(
            Dispatch(), IID_NULL,
            [&sink](DISPID id, com::EventArgs& args) { RaiseTrayEvent(sink, id, args); }));
        return Subscription([connection] { connection->Disconnect(); });
    }

  private:
    std::map<std::int16_t, std::unique_ptr<TrayIconItem>> items_;
};

}  // namespace

std::shared_ptr<IIconLibrary> ComOutsideComponents::CreateIconLibrary() {
    return std::make_shared<IconLibrary>();
}
std::shared_ptr<IStringTable> ComOutsideComponents::CreateStringTable() {
    return std::make_shared<StringTable>();
}
std::shared_ptr<ICaptionTranslator> ComOutsideComponents::CreateCaptionTranslator() {
    return std::make_shared<CaptionTranslator>();
}
std::shared_ptr<ILogWriter> ComOutsideComponents::CreateLogWriter() {
    return std::make_shared<ComLogWriter>();
}
std::shared_ptr<ITrayIcon> ComOutsideComponents::CreateTrayIcon() {
    return std::make_shared<TrayIcon>();
}

}  // namespace qor::win
