// Hostile tables through the whole conditioning, from the source page to "Finished!": names
// that need quoting (quotes, blanks, non-ASCII letters, keywords, a table already ending in
// "_d") copy and cut exactly as plain names do; a name holding "]" is refused before anything
// is copied; infinities and numbers beyond the Single range are refused by every method,
// naming the field and the value, before any row is written; texts in a number column keep
// their text and leave the cut points as they are. The source file never changes.
#include <QFile>

#include <cmath>
#include <limits>

#include "tests/trune/trune_fixture.h"
#include "trune/discretize/conditioning.h"
#include "trune/frm_view_data.h"

namespace trunetest {
namespace {

using db::Value;
using trune::CutMethod;

constexpr int kNext = 3, kFinish = 4;
constexpr int kRows = 60;

// Class A for X below 15, B from there; X 0, 0.5, ... 29.5, so the entropy method cuts too.
std::vector<std::vector<Value>> PlainRows() {
    std::vector<std::vector<Value>> rows;
    for (int i = 0; i < kRows; ++i) rows.push_back({Value(i < 30 ? "A" : "B"), Value(0.5 * i)});
    return rows;
}

testsupport::TableSpec Table(const std::string& name, const std::string& cls, const std::string& x,
                             std::vector<std::vector<Value>> rows) {
    return {name, {{cls, db::dbText, 10}, {x, db::dbDouble}}, std::move(rows)};
}

// The plain rows and, after them, values no interval can hold or no number at all.
std::vector<std::vector<Value>> PlainRowsAnd(const std::vector<Value>& extra) {
    std::vector<std::vector<Value>> rows = PlainRows();
    for (const Value& x : extra) rows.push_back({Value("B"), x});
    return rows;
}

const double kInf = std::numeric_limits<double>::infinity();

// One table of the source file: its name, its class and X fields' names.
struct Source {
    std::string table, cls, x;
};
const Source kPlain{"Plain", "Cls", "X"};
const Source kQuoted{"Tä'b \"x\" select", "Grün \"Klasse\"", "From"};
const Source kBlanks{"Daten_d", " Klasse", "X Wert "};
const Source kInfinities{"Inf", "Cls", "X"};
const Source kBeyond{"Beyond", "Cls", "X"};
const Source kTexts{"Texts", "Cls", "X"};

class HostileInput : public TruneTest {
protected:
    void SetUp() override {
        TruneTest::SetUp();
        source = SourceFile("source.db",
                            {Table(kPlain.table, kPlain.cls, kPlain.x, PlainRows()),
                             Table(kQuoted.table, kQuoted.cls, kQuoted.x, PlainRows()),
                             Table(kBlanks.table, kBlanks.cls, kBlanks.x, PlainRows()),
                             Table(kInfinities.table, "Cls", "X", PlainRowsAnd({Value(-kInf), Value(kInf)})),
                             Table(kBeyond.table, "Cls", "X", PlainRowsAnd({Value(1e300)})),
                             Table(kTexts.table, "Cls", "X", PlainRowsAnd({Value(""), Value("NaN")})),
                             {"Other", {{"X", db::dbDouble}}, {{Value(1.0)}}},
                             {"Other] where [X]<>[X] or [X", {{"X", db::dbDouble}}, PlainRowsAnd({})},
                             {"Pair", {{"Cls", db::dbText, 10}, {"X], [Y", db::dbDouble}}, PlainRows()}});
        QFile f(source);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        sourceBytes = f.readAll();
    }

    void TearDown() override {
        wizard.reset();
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == sourceBytes) << "the source file changed";
    }

    // A fresh wizard through the copy of `table` into a new file, named `copyName` there (the
    // source's own name when empty). True when it reached the method page.
    bool CopyAndDetect(const std::string& table, const QString& target, const std::string& copyName = "") {
        wizard.reset();
        session = trune::TruneSession{};
        MakeWizard();
        ToTablePage(source, QString::fromStdString(table));
        wizard->table->NDbName->setText(target);
        if (!copyName.empty()) wizard->table->NTbName->setText(QString::fromStdString(copyName));
        wizard->NavButton(kNext)->click();
        return wizard->CurrentStep == 5;
    }

    // The copy of `s` conditioned by `method` into `target`; the messages shown on Finish.
    std::vector<Box> Condition(const Source& s, CutMethod method, const QString& target) {
        EXPECT_TRUE(CopyAndDetect(s.table, target)) << s.table;
        if (wizard->CurrentStep != 5) return {};
        EXPECT_EQ(wizard->method->LstConFld->count(), 1);
        if (wizard->method->LstConFld->count() > 0) {
            EXPECT_EQ(wizard->method->LstConFld->item(0)->text().toStdString(), s.x);
        }
        switch (method) {
            case CutMethod::EqualWidth: wizard->method->OptEW->click(); break;
            case CutMethod::EqualFrequency: wizard->method->OptEF->click(); break;
            case CutMethod::Entropy:
                wizard->method->OptEnt->click();
                wizard->method->CmbFlds->setCurrentText(QString::fromStdString(s.cls));
                break;
        }
        wizard->NavButton(kFinish)->click();
        return fake.prompts.Take();
    }

    // The copy's labels of `s`, row by row, and whether every row got its hold-out flag.
    std::vector<Value> Labels(const Source& s, const QString& target, bool* flagged = nullptr) {
        auto copy = db::DBEngine::OpenDatabase(target.toStdString(), false, true);
        const db::TableDef def = copy->TableDefs(s.table);
        int label = -1, holdOut = -1;
        for (size_t c = 0; c < def.Fields.size(); ++c) {
            if (def.Fields[c].Name == s.x + "_d") label = int(c);
            if (def.Fields[c].Name == "ZORV_HoldOut") holdOut = int(c);
        }
        std::vector<Value> out;
        if (flagged) *flagged = holdOut >= 0;
        for (const auto& row : AllRows(*copy, "select * from [" + s.table + "]")) {
            out.push_back(label >= 0 ? row[size_t(label)] : Value());
            if (flagged) *flagged = *flagged && !row[size_t(holdOut)].IsNull();
        }
        return out;
    }

    QString Target(const QString& name) { return dir.filePath(name + ".db"); }

    QString source;
    QByteArray sourceBytes;
};

const CutMethod kMethods[] = {CutMethod::EqualWidth, CutMethod::EqualFrequency, CutMethod::Entropy};

TEST_F(HostileInput, NamesThatNeedQuotingConditionAsPlainNamesDo) {
    for (CutMethod method : kMethods) {
        SCOPED_TRACE("method " + std::to_string(int(method)));
        const QString n = QString::number(int(method));
        ASSERT_TRUE(Condition(kPlain, method, Target("plain" + n)).empty());
        ASSERT_EQ(wizard->CurrentStep, 6);
        const std::vector<Value> plain = Labels(kPlain, Target("plain" + n));
        ASSERT_EQ(plain.size(), size_t(kRows));
        // The labels differ along X: something was cut.
        EXPECT_NE(plain.front(), plain.back());
        for (const Source& s : {kQuoted, kBlanks}) {
            SCOPED_TRACE(s.table);
            const QString target = Target(QString::fromStdString(s.x) + n);
            EXPECT_TRUE(Condition(s, method, target).empty());
            EXPECT_EQ(wizard->CurrentStep, 6);
            bool flagged = false;
            EXPECT_EQ(Labels(s, target, &flagged), plain);
            EXPECT_TRUE(flagged);
            // The viewer of the last page reads the copy by its name too.
            trune::RecordsetModel viewer;
            viewer.Reset(db::DBEngine::OpenDatabase(target.toStdString(), false, true), s.table);
            EXPECT_EQ(viewer.columnCount(), 4);
            EXPECT_GT(viewer.rowCount(), 0);
        }
    }
}

// "]" cannot be quoted: the source table, a field or the copy's name holding one is refused
// with 3125 before the target file is made. Quoted as it stands, the first would copy Other.
TEST_F(HostileInput, NamesHoldingABracketAreRefusedBeforeTheCopy) {
    struct Case {
        std::string table, copyName;
        QString message;
    };
    const Case cases[] = {
        {"Other] where [X]<>[X] or [X", "",
         "The table name 'Other] where [X]<>[X] or [X' cannot be used in a query: it holds ']'. Rename the table."},
        {"Pair", "", "The field name 'X], [Y' cannot be used in a query: it holds ']'. Rename the field."},
        {"Plain", "[Other]", "The table name '[Other]' cannot be used in a query: it holds ']'. Rename the table."},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        const QString target = Target("bracket" + QString::number(k++));
        EXPECT_FALSE(CopyAndDetect(c.table, target, c.copyName));
        EXPECT_EQ(wizard->CurrentStep, 4);
        EXPECT_EQ(fake.prompts.Take(), (std::vector<Box>{Warning(c.message)}));
        EXPECT_FALSE(QFile::exists(target));
    }
}

// Infinities and numbers beyond the Single range: every method refuses the field, naming it
// and the value, and no row gets a label. A text in the number column keeps its text and
// changes no cut: the numbers' labels are the plain table's.
TEST_F(HostileInput, ValuesNoIntervalCanHoldAreRefusedAndTextsKept) {
    for (CutMethod method : kMethods) {
        SCOPED_TRACE("method " + std::to_string(int(method)));
        const QString n = QString::number(int(method));
        struct Refused {
            Source s;
            std::string value;
        };
        for (const Refused& r : {Refused{kInfinities, "-Infinity"}, Refused{kBeyond, "1E+300"}}) {
            SCOPED_TRACE(r.s.table);
            const QString target = Target(QString::fromStdString(r.s.table) + n);
            const std::vector<Box> shown = Condition(r.s, method, target);
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].text.toStdString(),
                      "The field 'X' holds the value " + r.value +
                          ", which no interval can bound. The fields to be cut must hold numbers from "
                          "-3.402823E+38 to 3.402823E+38: correct the value, or leave the field out.\n\nThe table " +
                          r.s.table + " was left unchanged.");
            EXPECT_EQ(wizard->CurrentStep, 5);
            for (const Value& label : Labels(r.s, target)) EXPECT_TRUE(label.IsNull()) << label.AsText();
        }

        ASSERT_TRUE(Condition(kPlain, method, Target("plain" + n)).empty());
        std::vector<Value> expected = Labels(kPlain, Target("plain" + n));
        expected.push_back(Value(""));
        expected.push_back(Value("NaN"));
        EXPECT_TRUE(Condition(kTexts, method, Target("texts" + n)).empty());
        EXPECT_EQ(wizard->CurrentStep, 6);
        EXPECT_EQ(Labels(kTexts, Target("texts" + n)), expected);
    }
}

}  // namespace
}  // namespace trunetest
