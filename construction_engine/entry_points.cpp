// VRELLAPI's library entry points: DllGetClassObject, DllCanUnloadNow, DllRegisterServer and
// DllUnregisterServer over the library's one creatable class.
#include "construction_engine/data_set.h"
#include "platform/com/server.h"

namespace {

com::Server& TheServer() {
    static com::Server server({com::ServerClass::Of<vrellapi::DataSet>("VRELLAPI.DataSet")});
    return server;
}

}  // namespace

COM_EXPORT_SERVER(TheServer())
