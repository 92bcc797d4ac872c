// A host as the programs are: it links the platform library and the two engine interface headers
// only, creates both engines by class name, hands them its own database, and catches whatever
// numbered error comes back across the library boundary, by its own class and by the one base.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "classifier_engine/zorvapi.h"
#include "construction_engine/vrellapi.h"
#include "platform/com/object.h"
#include "platform/db/database.h"
#include "platform/vb/numbered_error.h"
#include "platform/vb/runtime_error.h"

namespace {

namespace fs = std::filesystem;

// A registry of our own in a temporary XDG_CONFIG_HOME that names the two engine libraries.
class Host : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("bns-host-" + std::to_string(::getpid()));
        fs::create_directories(dir_ / "config" / "bnsuite");
        std::ofstream(dir_ / "config" / "bnsuite" / "classes.reg")
            << "ZORVAPI.DataEngine=" << ZORVAPI_LIBRARY << "\n"
            << "VRELLAPI.DataSet=" << VRELLAPI_LIBRARY << "\n";
        ::setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);

        db_ = db::DBEngine::CreateDatabase((dir_ / "train.db").string());
        db_->Execute("CREATE TABLE Present (Cls TEXT(10), A TEXT(10))");
    }
    void TearDown() override {
        if (db_) db_->Close();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    fs::path dir_;
    std::shared_ptr<db::Database> db_;
};

// The classifier's learning arguments over `names` (fields 1..n), no knowledge, one fixed
// threshold and a single net.
struct LearnArgs {
    zorvapi::Integer numfld;
    vb::Array<std::string> names;
    bool bord = false, bpres = false, fixedThr = true, roc = false, filter = false, noOrd = false;
    vb::Array<zorvapi::Integer> po, ce, fl, rt, lf;
    std::string logi, logo;
    zorvapi::Integer bmMode = 1, fsm = 2;

    explicit LearnArgs(const std::vector<std::string>& fields) : numfld(zorvapi::Integer(fields.size())) {
        names.ReDim(vb::To(numfld));
        for (zorvapi::Integer i = 1; i <= numfld; ++i) names(i) = fields[size_t(i - 1)];
        for (auto* m : {&po, &ce, &fl}) m->ReDim(vb::To(numfld), vb::To(numfld));
        rt.ReDim(vb::To(numfld));
        lf.ReDim(vb::To(numfld));
    }
    void InitLearnStru(zorvapi::IDataEngine& e) {
        e.InitLearnStru(numfld, names, bord, po, ce, fl, rt, lf, bpres, logi, logo, bmMode, fixedThr, fsm, roc,
                        filter, noOrd);
    }
};

std::shared_ptr<zorvapi::IDataEngine> NewClassifier() {
    auto engine = com::CreateObjectAs<zorvapi::IDataEngine>("ZORVAPI.DataEngine");
    vb::Long rows = 5000;
    vb::Integer vlus = 20;
    engine->Init(rows, vlus);
    return engine;
}

TEST_F(Host, ClassifierRaisesItsErrorsAcrossTheBoundary) {
    auto engine = NewClassifier();
    std::string present = "Present", missing = "Missing", none;

    // InitLearn traps nothing: the database layer's own error reaches the host as it is.
    try {
        engine->InitLearn(db_, missing, none);
        ADD_FAILURE() << "a missing table was bound";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errnum::kNoSuchTable);
        EXPECT_NE(e.description().find("Missing"), std::string::npos) << e.description();
    }

    // The engine's own check, raised under its source.
    engine->InitLearn(db_, present, none);
    LearnArgs two({"Cls", "A"});
    try {
        two.InitLearnStru(*engine);
        ADD_FAILURE() << "two fields were accepted";
    } catch (const com::Error& e) {
        EXPECT_EQ(e.number(), com::objectError(513));
        EXPECT_EQ(e.source(), "DataEngine Object");
        EXPECT_EQ(e.description(), "Too few fields");
    }

    // A database error inside a trapping method comes back under the engine's source with the
    // database's number and text.
    engine->InitLearn(db_, present, none);
    db_->DeleteTable("Present");
    LearnArgs three({"Cls", "A", "B"});
    try {
        three.InitLearnStru(*engine);
        ADD_FAILURE() << "a dropped table was learned";
    } catch (const com::Error& e) {
        EXPECT_EQ(e.number(), db::errnum::kNoSuchTable);
        EXPECT_EQ(e.source(), "DataEngine Object");
        EXPECT_NE(e.description().find("Present"), std::string::npos) << e.description();
    }

    // Classifying with nothing learned reads past the engine's empty tables: the runtime's
    // error 9, thrown inside the engine, caught here by its class.
    vb::Array<zorvapi::Integer> values(vb::To(1));
    try {
        engine->ClsfyInst(values);
        ADD_FAILURE() << "a case was classified with nothing learned";
    } catch (const vb::RuntimeError& e) {
        EXPECT_EQ(e.number(), 9);
    }
}

TEST_F(Host, ConstructionEngineRaisesItsErrorsAcrossTheBoundary) {
    auto set = com::CreateObjectAs<vrellapi::IDataSet>("VRELLAPI.DataSet");
    std::string missing = "Missing", none, logi, logo;
    vrellapi::Integer numfld = 2;
    vb::Array<std::string> names(vb::To(1));
    names(0) = "Cls";
    names(1) = "A";
    bool bord = false;
    vb::Array<vrellapi::Integer> po, ce, fl, rt, lf;
    for (auto* m : {&po, &ce, &fl}) m->ReDim(vb::To(1), vb::To(1));
    rt.ReDim(vb::To(1));
    lf.ReDim(vb::To(1));
    try {
        set->Init(db_, missing, numfld, names, none, bord, po, ce, fl, rt, lf, logi, logo);
        ADD_FAILURE() << "a missing table was bound";
    } catch (const com::Error& e) {
        EXPECT_EQ(e.number(), db::errnum::kNoSuchTable);
        EXPECT_EQ(e.source(), "DataSet Object");
        EXPECT_NE(e.description().find("Missing"), std::string::npos) << e.description();
    }
}

// Every kind, thrown by either library, is caught by the one base a wizard catches.
TEST_F(Host, OneBaseCatchesEveryKind) {
    auto engine = NewClassifier();
    std::string missing = "Missing", none;
    vb::Array<zorvapi::Integer> values(vb::To(1));
    LearnArgs two({"Cls", "A"});

    const auto numberOf = [](auto&& call) -> int32_t {
        try {
            call();
        } catch (const vb::NumberedError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(numberOf([&] { engine->InitLearn(db_, missing, none); }), db::errnum::kNoSuchTable);
    EXPECT_EQ(numberOf([&] { two.InitLearnStru(*engine); }), com::objectError(513));
    EXPECT_EQ(numberOf([&] { engine->ClsfyInst(values); }), 9);
    EXPECT_EQ(numberOf([] { com::CreateObject("NOSUCH.Class"); }), com::kCannotCreateObject);
}

}  // namespace
