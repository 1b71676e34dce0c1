// qortranslate.dll serves the caption translator.

#include "qortranslate.h"
#include "windows/com/ServerExports.h"
#include "windows/translator/CaptionTranslatorObject.h"

namespace {
qor::com::ServedClass gClasses[] = {
    {&CLSID_CaptionTranslator, qor::com::ClassFactory(qor::captions::CreateCaptionTranslator)}};
}  // namespace

const qor::com::Server& qor::com::ThisServer() noexcept {
    static const Server server{gClasses};
    return server;
}
