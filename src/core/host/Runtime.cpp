#include "core/host/Runtime.h"

#include "core/common/Error.h"
#include "core/tray/frmMain.h"

namespace qor {

namespace {
Runtime* gCurrent = nullptr;
}

Runtime::Runtime(IPlatform& platform, IOutsideComponents& components)
    : platform_(platform), components_(components), errors_(platform, components) {
    if (gCurrent) Raise(err::kInvalidCall, "A component runtime already exists in this process");
    gCurrent = this;
}

Runtime::~Runtime() {
    // The form goes first: its unload still reports through the globals.
    if (form_) form_->Unload();
    form_.reset();
    logFile_.reset();
    gCurrent = nullptr;
}

Runtime* Runtime::Current() {
    return gCurrent;
}

frmMain& Runtime::Form() {
    if (!form_) form_ = std::make_unique<frmMain>(*this);
    return *form_;
}

bool Runtime::FormLoaded() const {
    return form_ && form_->IsLoaded();
}

cLogFile& Runtime::CreateLogFile() {
    // Releasing the previous trace stops it.
    logFile_ = std::make_unique<cLogFile>(platform_, errors_);
    return *logFile_;
}

}  // namespace qor
