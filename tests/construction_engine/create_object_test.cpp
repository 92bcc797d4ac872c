// VRELLAPI as a host sees it: the library registers "VRELLAPI.DataSet", com::CreateObject
// makes objects of it through the registry, the objects answer through IDataSet (errors
// included), and the library counts the objects still alive.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "construction_engine/vrellapi.h"
#include "platform/com/object.h"
#include "platform/com/registry.h"
#include "tests/construction_engine/init_fixture.h"

namespace {

namespace fs = std::filesystem;

class VrellapiLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vrell_com_XXXXXX";
        dir_ = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        lib_ = dlopen(VRELLAPI_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (lib_) dlclose(lib_);
        unsetenv("XDG_CONFIG_HOME");
        fs::remove_all(dir_);
    }
    int32_t Call(const char* entry) {
        auto fn = reinterpret_cast<com::DllEntryFn>(dlsym(lib_, entry));
        EXPECT_NE(fn, nullptr) << entry;
        return fn ? fn() : -1;
    }

    fs::path dir_;
    void* lib_ = nullptr;
};

TEST_F(VrellapiLibrary, CreatesDataSetByName) {
    ASSERT_EQ(Call("DllRegisterServer"), com::S_OK);
    EXPECT_EQ(*com::RegisteredLibrary("VRELLAPI.DataSet"), fs::canonical(VRELLAPI_LIBRARY).string());
    EXPECT_EQ(Call("DllCanUnloadNow"), com::S_OK);
    {
        auto ds = com::CreateObjectAs<vrellapi::IDataSet>("VRELLAPI.DataSet");
        ASSERT_NE(ds, nullptr);
        EXPECT_EQ(Call("DllCanUnloadNow"), com::S_FALSE);

        vrelltest::InitArgs a({"A"});
        std::shared_ptr<db::Database> dbase = vrelltest::ScriptedTable().Database();
        try {
            ds->Init(dbase, a.table, a.numfld, a.names, a.cntfld, a.bord, a.po, a.ce, a.fl, a.rt,
                     a.lf, a.logi, a.logo);
            ADD_FAILURE() << "one field was accepted";
        } catch (const com::Error& e) {
            EXPECT_EQ(e.number(), com::objectError(513));
            EXPECT_EQ(e.source(), "DataSet Object");
        }
    }
    EXPECT_EQ(Call("DllCanUnloadNow"), com::S_OK);
    ASSERT_EQ(Call("DllUnregisterServer"), com::S_OK);
    EXPECT_FALSE(com::RegisteredLibrary("VRELLAPI.DataSet").has_value());
}

}  // namespace
