// Objects by class name: a library registers itself (DllRegisterServer writes its class and
// path into the per-user registry), com::CreateObject finds and loads it, the live-object count
// follows the objects, and unknown or unloadable classes give error 429.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "classifier_engine/zorvapi.h"
#include "platform/com/object.h"
#include "platform/com/registry.h"
#include "tests/support/class_registry.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class ClassRegistry : public ::testing::Test {
protected:
    int32_t Call(const char* entry) { return reg_.Call(entry); }
    static void ExpectCannotCreate(const std::string& className) {
        try {
            com::CreateObject(className);
            ADD_FAILURE() << className << " was created";
        } catch (const com::Error& e) {
            EXPECT_EQ(e.number(), 429) << className;
            EXPECT_EQ(e.description(), "ActiveX component can't create object");
        }
    }

    testsupport::PrivateClassRegistry reg_{ZORVAPI_LIBRARY};
    const fs::path& dir_ = reg_.dir();
};

TEST_F(ClassRegistry, RegisteredLibraryCreatesTheEngine) {
    const fs::path reg = dir_ / "config" / "bnsuite" / "classes.reg";
    EXPECT_EQ(com::ClassRegistryPath(), reg);
    ExpectCannotCreate("ZORVAPI.DataEngine");  // not registered, and not next to the test

    ASSERT_EQ(Call("DllRegisterServer"), com::S_OK);
    EXPECT_EQ(ReadFile(reg), "ZORVAPI.DataEngine=" + fs::canonical(ZORVAPI_LIBRARY).string() + "\n");
    ASSERT_EQ(Call("DllRegisterServer"), com::S_OK);
    EXPECT_EQ(ReadFile(reg), "ZORVAPI.DataEngine=" + fs::canonical(ZORVAPI_LIBRARY).string() + "\n")
        << "registering again replaces the line";

    EXPECT_EQ(Call("DllCanUnloadNow"), com::S_OK);
    {
        auto engine = com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
        ASSERT_NE(engine, nullptr);
        auto second = com::CreateObjectAs<zorvapi::IDataEngine>("zorvapi.dataengine");
        EXPECT_NE(engine, second) << "one new object per call";
        EXPECT_EQ(Call("DllCanUnloadNow"), com::S_FALSE);
        zorvapi::Long rows = 5000;
        zorvapi::Integer vlus = 20;
        engine->Init(rows, vlus);
        EXPECT_EQ(engine->StrStatus(), "");
    }
    EXPECT_EQ(Call("DllCanUnloadNow"), com::S_OK) << "released objects are no longer counted";
}

TEST_F(ClassRegistry, UnregisterRemovesOnlyItsOwnLines) {
    const fs::path reg = com::ClassRegistryPath();
    fs::create_directories(reg.parent_path());
    std::ofstream(reg) << "# classes\nVRELLAPI.DataSet=/opt/x/libvrellapi.so\nZORVAPI.DataEngine=/old/path.so\n";
    ASSERT_EQ(Call("DllRegisterServer"), com::S_OK);
    EXPECT_EQ(*com::RegisteredLibrary("ZORVAPI.DataEngine"), fs::canonical(ZORVAPI_LIBRARY).string());
    ASSERT_EQ(Call("DllUnregisterServer"), com::S_OK);
    EXPECT_EQ(ReadFile(reg), "# classes\nVRELLAPI.DataSet=/opt/x/libvrellapi.so\n");
    ExpectCannotCreate("ZORVAPI.DataEngine");
}

TEST_F(ClassRegistry, UnknownOrUnloadableClassesGive429) {
    com::RegisterClass("NOPE.Missing", (dir_ / "libnope.so").string());
    com::RegisterClass("LIBM.Thing", "libm.so.6");  // loads, but has no class factory
    com::RegisterClass("ZORVAPI.Other", fs::canonical(ZORVAPI_LIBRARY).string());  // wrong class
    for (const char* name : {"NOPE.Missing", "LIBM.Thing", "ZORVAPI.Other", "Unknown.Class", "NoDot"})
        ExpectCannotCreate(name);
}

TEST_F(ClassRegistry, RelativeConfigHomeFallsBackToHome) {
    setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    const char* oldHome = getenv("HOME");
    std::string saved = oldHome ? oldHome : "";
    setenv("HOME", dir_.c_str(), 1);
    EXPECT_EQ(com::ClassRegistryPath(), dir_ / ".config" / "bnsuite" / "classes.reg");
    if (oldHome) setenv("HOME", saved.c_str(), 1);
}

}  // namespace
