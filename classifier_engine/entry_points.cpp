// ZORVAPI's library entry points: DllGetClassObject, DllCanUnloadNow, DllRegisterServer and
// DllUnregisterServer over the library's one creatable class.
#include "classifier_engine/data_engine.h"
#include "platform/com/server.h"

namespace {

com::Server& TheServer() {
    static com::Server server({com::ServerClass::Of<zorvapi::DataEngine>("ZORVAPI.DataEngine")});
    return server;
}

}  // namespace

COM_EXPORT_SERVER(TheServer())
